// Splitting a render into N contiguous chunks that separate processes (or
// machines) render on their own: which frames chunk I takes, and where a
// video chunk writes its part.
#pragma once

#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace varnok {

// The I-th of N contiguous parts of `frames` (counting from 0), the first
// parts one frame longer when N does not divide the count. False with
// `*error` set when I or N is out of range or a part would be empty.
bool chunkFrames(const std::vector<int>& frames, int index, int count, std::vector<int>* out,
                 std::string* error);

// With --chunk, narrows a render's `frames` to its chunk and, for a video,
// points `output` at the chunk's part; without, changes nothing.
bool chunkRender(const CliOptions& options, std::vector<int>* frames, std::string* output, std::string* error);

// "dir/out.mp4" -> "dir/out.part-0003-of-0008.mp4".
std::string chunkPartPath(const std::string& video, int index, int count);

// The parts of `video` found beside it, by the numbers in their names.
struct ChunkPart {
    int index = 0;
    int count = 0;
    std::string path;
};
std::vector<ChunkPart> findChunkParts(const std::string& video);
// Files of an unfinished part (a chunk still running or killed mid-write).
std::vector<std::string> findUnfinishedParts(const std::string& video, int index, int count);

// "I/N" as given to --chunk.
bool parseChunk(const std::string& text, int* index, int* count);

}  // namespace varnok

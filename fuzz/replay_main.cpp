// Runs a harness over files and folders of inputs without libFuzzer, so the
// seed corpus and past findings replay as an ordinary test in every build.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

int replayFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 1;
    }
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    return 0;
}

int replay(const std::string& path, int* count) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return 0;   // a harness may have no findings yet
    if (!S_ISDIR(st.st_mode)) {
        ++*count;
        return replayFile(path);
    }
    DIR* d = ::opendir(path.c_str());
    if (!d) return 1;
    std::vector<std::string> names;
    while (dirent* e = ::readdir(d))
        if (e->d_name[0] != '.') names.push_back(path + "/" + e->d_name);
    ::closedir(d);
    int failures = 0;
    for (const auto& n : names) failures += replay(n, count);
    return failures;
}

}  // namespace

int main(int argc, char** argv) {
    int failures = 0, count = 0;
    for (int i = 1; i < argc; ++i) failures += replay(argv[i], &count);
    std::printf("replayed %d inputs\n", count);
    return failures == 0 && count > 0 ? 0 : 1;
}

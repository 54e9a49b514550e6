// varnok slurm render: a render split into chunks run as a Slurm job array,
// one task per `--chunk I/N`, and for a video a join job that runs only after
// every task succeeded. The scripts are plain sbatch scripts (--dry-run
// prints them), so status and logs come from Slurm's own squeue, sacct and
// slurm-JOB_TASK.out files.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "cli/commands.h"
#include "media/frame_source.h"
#include "media/media_path.h"
#include "media/subprocess.h"

namespace varnok {

namespace {

struct SlurmRequest {
    int chunks = 0;
    std::string partition, time;
    bool wait = false, dryRun = false;
    std::vector<std::string> renderArgs;   // everything after "render" that is not Slurm's
};

// Single quotes keep every byte as it is in a shell script.
std::string shellQuoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

const PlainOption<SlurmRequest> kSlurmOptions[] = {
    textOption("--partition", &SlurmRequest::partition), textOption("--time", &SlurmRequest::time),
    switchOption("--wait", &SlurmRequest::wait), switchOption("--dry-run", &SlurmRequest::dryRun),
};

bool parseSlurmArgs(int argc, char** argv, SlurmRequest* r, std::string* error) {
    if (argc < 3 || std::strcmp(argv[2], "render") != 0) {
        *error = "slurm expects: varnok slurm render INPUT -o OUTPUT --chunks N [render options]";
        return false;
    }
    for (int i = 3; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string* out) { return optionValue(argc, argv, &i, out, error); };
        std::string v;
        if (a == "--chunks") {
            if (!value(&v)) return false;
            if (!wholeNumberOption(a, v, 1, 100000, "a number of chunks between 1 and 100000", &r->chunks, error))
                return false;
        } else if (const OptionParse p = takePlainOption(a, kSlurmOptions, value, r); p != OptionParse::NotMine) {
            if (p == OptionParse::Error) return false;
        } else if (a == "--chunk") {
            *error = "--chunk is given to each task by the job array; use --chunks N";
            return false;
        } else {
            r->renderArgs.push_back(a);
        }
    }
    if (r->chunks == 0) {
        *error = "slurm render needs --chunks N";
        return false;
    }
    for (const std::string* s : {&r->partition, &r->time})
        if (s->find_first_of("\n\r\"") != std::string::npos) {
            *error = "--partition and --time take one line without quotes";
            return false;
        }
    return true;
}

std::string absolutePath(const std::string& path) {
    char buf[PATH_MAX];
    if (::realpath(path.c_str(), buf)) return buf;
    return path;
}

std::string currentDirectory() {
    char buf[PATH_MAX];
    return ::getcwd(buf, sizeof buf) ? buf : ".";
}

// An #SBATCH value, double-quoted as sbatch reads them (a folder with a space).
std::string directive(const std::string& option, const std::string& value) {
    return "#SBATCH " + option + "=\"" + value + "\"\n";
}

std::string header(const std::string& name, const SlurmRequest& r) {
    std::string s = "#!/bin/sh\n#SBATCH --job-name=" + name + "\n";
    // sbatch starts jobs where it was run; said here too so the printed script
    // can be submitted from anywhere (a folder whose name has a quote cannot).
    const std::string here = currentDirectory();
    if (here.find('"') == std::string::npos) s += directive("--chdir", here);
    if (!r.partition.empty()) s += directive("--partition", r.partition);
    if (!r.time.empty()) s += directive("--time", r.time);
    return s;
}

std::string renderScript(const SlurmRequest& r, const std::string& varnok, const std::vector<std::string>& args) {
    std::string s = header("varnok-render", r);
    s += "#SBATCH --array=0-" + std::to_string(r.chunks - 1) + "\n";
    s += "# One chunk of the frames per task. Input and output must be on storage\n"
         "# every node sees; a video chunk writes its own part beside the output.\n";
    s += "exec " + shellQuoted(varnok) + " render";
    for (const std::string& a : args) s += " " + shellQuoted(a);
    s += " --chunk \"$SLURM_ARRAY_TASK_ID/" + std::to_string(r.chunks) + "\"\n";
    return s;
}

std::string joinScript(const SlurmRequest& r, const std::string& varnok, const std::string& output) {
    std::string s = header("varnok-join", r);
    s += "# Submitted with --dependency=afterok:<the render array> --kill-on-invalid-dep=yes:\n"
         "# it runs only when every chunk succeeded, and is cancelled otherwise.\n";
    s += "exec " + shellQuoted(varnok) + " join " + shellQuoted(output) + "\n";
    return s;
}

// sbatch --parsable with the script in a file of its own; the job id, or "".
std::string submit(const std::string& script, const std::vector<std::string>& extra, std::string* error) {
    const char* tmp = std::getenv("TMPDIR");
    std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/varnok-sbatch-XXXXXX";
    const int fd = ::mkstemp(&path[0]);
    bool written = fd >= 0 && ::write(fd, script.data(), script.size()) == static_cast<ssize_t>(script.size());
    if (fd >= 0 && ::close(fd) != 0) written = false;
    if (!written) {
        if (fd >= 0) ::unlink(path.c_str());
        *error = "cannot write the batch script to " + path;
        return "";
    }
    std::vector<std::string> argv = {"sbatch", "--parsable"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    argv.push_back(path);
    Subprocess p;
    std::string out;
    if (p.start(argv, Subprocess::Pipe::FromChild, error)) {
        char c;
        while (p.readExactly(&c, 1)) out.push_back(c);
        const std::string why = p.lastErrorLine();
        if (p.wait() != 0) {
            *error = "sbatch failed: " + (why.empty() ? std::string("no message") : why);
            out.clear();
        } else if (out.empty()) {
            *error = "sbatch gave no job id";
        }
    }
    ::unlink(path.c_str());
    if (out.empty()) return "";   // *error says why
    // "ID" or "ID;CLUSTER"
    const std::string id = out.substr(0, out.find_first_of(";\n"));
    if (id.empty() || id.find_first_not_of("0123456789") != std::string::npos) {
        *error = "sbatch answered \"" + out + "\" instead of a job id";
        return "";
    }
    return id;
}

bool ended(const std::string& state, const std::string& reason) {
    static const std::set<std::string> endStates = {"COMPLETED", "FAILED",  "CANCELLED",     "TIMEOUT",
                                                    "NODE_FAIL", "PREEMPTED", "OUT_OF_MEMORY", "BOOT_FAIL",
                                                    "DEADLINE"};
    // A dependent job whose dependency failed would otherwise wait for ever.
    return endStates.count(state) > 0 || (state == "PENDING" && reason == "DependencyNeverSatisfied");
}

// Follows the jobs through squeue until every task has ended; true when all
// of them completed. Jobs leave squeue some minutes after they end, so each
// task's last state seen is kept.
bool waitForJobs(const std::vector<std::string>& expected, const std::string& ids) {
    std::map<std::string, std::pair<std::string, std::string>> seen;   // task: state, reason
    int failures = 0;
    for (;;) {
        Subprocess p;
        std::string error, out;
        if (p.start({"squeue", "-h", "-r", "-t", "all", "-j", ids, "-o", "%i %T %r"}, Subprocess::Pipe::FromChild,
                    &error)) {
            char c;
            while (p.readExactly(&c, 1)) out.push_back(c);
            failures = p.wait() == 0 ? 0 : failures + 1;
        } else {
            ++failures;
        }
        std::istringstream lines(out);
        std::string task, state, reason;
        while (lines >> task >> state) {
            std::getline(lines, reason);
            reason.erase(0, reason.find_first_not_of(' '));
            seen[task] = {state, reason};
        }
        bool done = true;
        for (const std::string& t : expected) {
            auto it = seen.find(t);
            if (it == seen.end() || !ended(it->second.first, it->second.second)) done = false;
        }
        if (done || failures >= 30) break;
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    bool ok = true;
    std::string summary;
    for (const std::string& t : expected) {
        auto it = seen.find(t);
        const std::string state = it == seen.end() ? "UNKNOWN" : it->second.first;
        if (state == "COMPLETED") continue;
        ok = false;
        summary += " " + t + " " + state;
        if (it != seen.end() && !it->second.second.empty() && it->second.second != "None")
            summary += " (" + it->second.second + ")";
        summary += ";";
    }
    if (ok) std::fprintf(stderr, "varnok: all %zu jobs and tasks completed\n", expected.size());
    else std::fprintf(stderr, "varnok: not every task completed:%s see squeue, sacct and slurm-*.out\n", summary.c_str());
    return ok;
}

}  // namespace

int runSlurmCommand(int argc, char** argv) {
    SlurmRequest r;
    std::string error;
    if (!parseSlurmArgs(argc, argv, &r, &error)) return fail(error + "\n\n" + usageText(), 2);

    // The tasks' command line must be sound before anything is submitted.
    std::vector<std::string> renderArgv = {argv[0], "render"};
    renderArgv.insert(renderArgv.end(), r.renderArgs.begin(), r.renderArgs.end());
    std::vector<char*> cargv;
    for (std::string& s : renderArgv) cargv.push_back(&s[0]);
    CliOptions o;
    if (!parseCommandLine(static_cast<int>(cargv.size()), cargv.data(), &o, &error))
        return fail(error + "\n\n" + usageText(), 2);
    // A generator's frames are --frames alone.
    size_t frames = o.input.empty() && o.hasFrames ? static_cast<size_t>(o.lastFrame - o.firstFrame + 1) : 0;
    FrameSource source;
    if (!o.input.empty() && !source.open(o.input, &error)) return fail(error);
    for (int f : source.frames()) frames += !o.hasFrames || (f >= o.firstFrame && f <= o.lastFrame);
    if (frames < static_cast<size_t>(r.chunks))
        return fail("cannot split " + std::to_string(frames) + " frame" + (frames == 1 ? "" : "s") + " into " +
                    std::to_string(r.chunks) + " chunks");

    // Every node runs the same program and plug-in, named in full.
    std::vector<std::string> args = r.renderArgs;
    if (o.plugin.empty()) {
        args.push_back("--plugin");
        args.push_back(absolutePath(pluginPath(o)));
    }
    const std::string varnok = absolutePath("/proc/self/exe");
    const bool video = classifyPath(o.output).kind == MediaKind::Video;
    const std::string render = renderScript(r, varnok, args);
    const std::string join = video ? joinScript(r, varnok, o.output) : "";
    // Also on sbatch's command line, where they beat any SBATCH_* variables.
    std::vector<std::string> common;
    if (!r.partition.empty()) common.push_back("--partition=" + r.partition);
    if (!r.time.empty()) common.push_back("--time=" + r.time);
    if (r.dryRun) {
        std::string options;
        for (const std::string& c : common) options += " " + shellQuoted(c);
        std::printf("# submitted as: sbatch --parsable%s SCRIPT\n%s", options.c_str(), render.c_str());
        if (video)
            std::printf("\n# submitted as: sbatch --parsable%s --dependency=afterok:RENDER_JOB_ID "
                        "--kill-on-invalid-dep=yes SCRIPT\n%s",
                        options.c_str(), join.c_str());
        return 0;
    }
    const std::string renderId = submit(render, common, &error);
    if (renderId.empty()) return fail(error);
    std::printf("Submitted render job array %s (tasks 0-%d)\n", renderId.c_str(), r.chunks - 1);
    std::vector<std::string> expected;
    for (int i = 0; i < r.chunks; ++i) expected.push_back(renderId + "_" + std::to_string(i));
    std::string ids = renderId;
    if (video) {
        std::vector<std::string> after = common;
        after.push_back("--dependency=afterok:" + renderId);
        after.push_back("--kill-on-invalid-dep=yes");
        const std::string joinId = submit(join, after, &error);
        if (joinId.empty()) {
            // Half a submission would leave parts nobody joins.
            int st = 0;
            captureOutput({"scancel", renderId}, &st);
            return fail(error + "; render job " + renderId + " cancelled");
        }
        std::printf("Submitted join job %s (after every task of %s succeeds)\n", joinId.c_str(), renderId.c_str());
        expected.push_back(joinId);
        ids += "," + joinId;
    }
    std::fflush(stdout);
    if (!r.wait) return 0;
    return waitForJobs(expected, ids) ? 0 : 1;
}

}  // namespace varnok

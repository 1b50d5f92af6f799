#include "sim_runner.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/zyr-sim-test-XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    dir_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

SimRun runSim(const TempDir& dir, const std::vector<std::string>& args, const SimControl& control) {
    const std::string outPath = control.stdoutPath.empty() ? dir.path("stdout.txt") : control.stdoutPath;
    const std::string errPath = dir.path("stderr.txt");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);

    std::vector<std::string> all{ZYR_SIM_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);

    SimRun run;
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, ZYR_SIM_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return run;
    int status = 0;
    pid_t waited = 0;
    if (control.signal != 0) {
        while ((waited = waitpid(pid, &status, WNOHANG)) == 0 && !control.ready()) usleep(2000);
        if (waited == 0) kill(pid, control.signal);
    }
    if (waited != pid) {
        do waited = waitpid(pid, &status, 0);
        while (waited < 0 && errno == EINTR);
    }
    if (waited == pid && WIFEXITED(status)) run.status = WEXITSTATUS(status);
    if (waited == pid && WIFSIGNALED(status)) run.signal = WTERMSIG(status);
    if (control.stdoutPath.empty()) run.out = readText(outPath);
    run.err = readText(errPath);
    return run;
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

CsvTable readCsv(const std::string& path) {
    CsvTable table;
    std::istringstream in(readText(path));
    std::getline(in, table.header);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields;
        std::istringstream row(line);
        for (std::string field; std::getline(row, field, ',');) fields.push_back(field);
        table.rows.push_back(fields);
    }
    return table;
}

double toNumber(const std::string& text) {
    if (text.empty()) return NAN;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    return *end == '\0' ? value : NAN;
}

std::string g17(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    return buffer;
}

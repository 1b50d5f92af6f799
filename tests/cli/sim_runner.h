#pragma once

#include <functional>
#include <string>
#include <vector>

// Runs the built zyr-sim as a child process and gives the files it writes a
// fresh directory of their own.

struct SimRun {
    int status = -1;  // exit status; -1 when the program did not exit normally
    int signal = 0;   // the signal that ended it, if one did
    std::string out;
    std::string err;
};

// Optional: where standard output goes instead of a captured file, and a
// signal sent once ready() (polled every few milliseconds) holds.
struct SimControl {
    std::string stdoutPath;
    int signal = 0;
    std::function<bool()> ready;
};

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string path(const std::string& name) const { return dir_ + "/" + name; }

private:
    std::string dir_;
};

// Runs zyr-sim with the arguments; stdout and stderr are captured through
// files in dir.
SimRun runSim(const TempDir& dir, const std::vector<std::string>& args, const SimControl& control = {});

std::string readText(const std::string& path);

// A CSV file split into its header line and its rows of fields.
struct CsvTable {
    std::string header;
    std::vector<std::vector<std::string>> rows;
};
CsvTable readCsv(const std::string& path);

// The whole text must be a number; NaN when it is not.
double toNumber(const std::string& text);

// The text printf gives with "%.17g".
std::string g17(double value);

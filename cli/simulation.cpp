#include "cli/simulation.h"

#include <chrono>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <unistd.h>

#include "io/any_galaxy_file.h"
#include "io/csv_file.h"
#include "io/gadget4_export.h"
#include "io/galaxy_file.h"
#include "io/snapshot_series.h"
#include "model/galaxy.h"
#include "model/number_text.h"
#include "physics/forces.h"
#include "physics/methods.h"
#include "physics/workers.h"
#include "run/galaxy_setup.h"
#include "run/options.h"
#include "run/pictures.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view kSeriesHeader =
    "step,time,kinetic,potential,total,momentum_x,momentum_y,momentum_z,center_x,center_y,center_z,"
    "steps_per_second,test_stars,potential_from";
constexpr std::string_view kStateHeader = "index,mass,x,y,z,vx,vy,vz,color";
constexpr std::string_view kStateAccelerationsHeader = "index,mass,x,y,z,vx,vy,vz,color,ax,ay,az,phi";

void complain(const std::string& message) { std::fprintf(stderr, "zyr-sim: %s\n", message.c_str()); }

// A damaged file that could still be read: the run goes on with what it held.
void warnAbout(const GalaxyFileStatus& status) {
    if (!status.warning.empty()) complain("warning: " + status.warning);
}

// Why the galaxy of a run could not be set up, and the exit status it gives.
struct SetUpFailure {
    int exitStatus = 0;
    std::string message;  // empty when the galaxy is set up
};

SetUpFailure failedWith(int exitStatus, std::string message) { return {exitStatus, std::move(message)}; }

// The galaxy of the run, loaded or generated, with the galaxies added to it.
// The numbers of a model that cannot be built are bad arguments (2), like
// those the option table refuses; files and memory fail with 1.
SetUpFailure setUpGalaxy(const SimOptions& options) {
    CGalaxy& g = g_galaxy;
    if (!options.loadPath.empty()) {
        const GalaxyFileStatus status = loadGalaxy(g, options.loadPath, options);
        if (!status.ok()) return failedWith(1, status.message);
        warnAbout(status);
    } else {
        const GenerateStatus status = generateGalaxy(g, options);
        if (!status.ok()) return failedWith(status.error == GenerateError::BadArguments ? 2 : 1, status.message);
    }
    for (const AddedGalaxy& added : options.added) {
        const GalaxyFileStatus status = mergeAnyGalaxyFile(g, added.path, added.offset, added.velocity);
        if (!status.ok()) return failedWith(1, status.message);
        warnAbout(status);
    }
    if (g.forceError > 0.0 && g.softening == Softening::Shield)
        complain("warning: a force error target needs a softening (--softening plummer or spline); the shield's "
                 "tree opens its cells by the opening angle");
    return {};
}

// The rigid halo and bulge, pulls of no stars, in the scale's units: a line
// each when there is one. The original's sphere halo has none.
std::string rigidPartsText(const CGalaxy& g) {
    const int s = g.scale;
    const auto number = [](double value) { return numberText(value, std::chars_format::general, 6); };
    std::string text;
    if (g.darkMatter == DarkMatterModel::NFW || g.darkMatter == DarkMatterModel::Hernquist) {
        const bool nfw = g.darkMatter == DarkMatterModel::NFW;
        text += std::string("Dark Matter: ") + (nfw ? "NFW" : "Hernquist") + ", " + number(g.haloMass) + " " +
                g.massUnitName[s] + ", scale radius " + number(g.haloRadius) + " " + g.lengthUnitName[s];
        if (nfw) text += ", concentration " + number(g.haloConcentration);
        text += "\n";
    }
    if (g.bulgeMass > 0.0)
        text += "Rigid Bulge: Hernquist, " + number(g.bulgeMass) + " " + g.massUnitName[s] + ", scale radius " +
                number(g.bulgeRadius) + " " + g.lengthUnitName[s] + "\n";
    return text;
}

// The lines that head the reports: the galaxy and the settings its steps use.
std::string setupText() {
    const CGalaxy& g = g_galaxy;
    // Dynamic Euler sums its own pairs directly, whatever the force setting.
    const int force = g.integrationMethod == IntegrationMethod::DynamicEuler ? ForceMethod::Direct : g.forceMethod;
    std::string text = "Stars: " + std::to_string(g.numStars) + "   " + labelOf(kIntegrators, g.integrationMethod) +
                       "   " + labelOf(kForceMethods, force) +
                       "   Time Step: " + numberText(g.timeStep, std::chars_format::general, 6) + " " +
                       g.timeUnitName[g.scale] + "   Scale: " + g.scaleName[g.scale];
    // What differs from the original's gravity, and the stars that only feel it.
    for (const std::string& extra : {softeningText(g), treeOpeningText(g)})
        if (!extra.empty()) text += "   " + extra;
    if (const int tests = testStarCount(g); tests > 0) text += "   Test Stars: " + std::to_string(tests);
    text += "\n";
    // What a generated model chose for the run, and the pulls beside the stars.
    if (!g.modelNote.empty()) text += g.modelNote + "\n";
    return text + rigidPartsText(g);
}

std::string sci(double value) { return numberText(value, std::chars_format::scientific, 6); }

// A report's first line begins with what it reports, "step 5/100" or
// "snapshot 2/9 output/snapshot_002.hdf5"; the rate is counted per rateUnit.
void printReport(std::FILE* out, const std::string& what, const char* rateUnit, double rate) {
    const CGalaxy& g = g_galaxy;
    const int s = g.scale;
    std::fprintf(out, "%s   time %s %s   %s/s %s\n", what.c_str(),
                 numberText(g.time, std::chars_format::general, 6).c_str(), g.timeUnitName[s].c_str(), rateUnit,
                 numberText(rate, std::chars_format::fixed, 1).c_str());
    std::fprintf(out, "  energy [%s]   kinetic %s   potential %s (%s)   total %s\n", g.energyUnitName[s].c_str(),
                 sci(g.kineticEnergy).c_str(), sci(g.potentialEnergy).c_str(),
                 potentialSourceName(g.potentialSource), sci(g.totalEnergy).c_str());
    std::fprintf(out, "  momentum [%s]   x %s   y %s   z %s\n", g.momentumUnitName[s].c_str(),
                 sci(g.momentumX).c_str(), sci(g.momentumY).c_str(), sci(g.momentumZ).c_str());
    std::fprintf(out, "  centre of mass [%s]   x %s   y %s   z %s\n", g.lengthUnitName[s].c_str(),
                 sci(g.centerX).c_str(), sci(g.centerY).c_str(), sci(g.centerZ).c_str());
    std::fflush(out);
}

void writeSeriesRow(CsvFile& series, int step, double stepsPerSecond) {
    const CGalaxy& g = g_galaxy;
    const double row[] = {static_cast<double>(step), g.time,      g.kineticEnergy, g.potentialEnergy,
                          g.totalEnergy,             g.momentumX, g.momentumY,     g.momentumZ,
                          g.centerX,                 g.centerY,   g.centerZ,       stepsPerSecond,
                          static_cast<double>(testStarCount(g))};
    series.writeRow(row, potentialSourceName(g.potentialSource));
}

void writeState(CsvFile& state, bool accelerations) {
    const CGalaxy& g = g_galaxy;
    const std::size_t n = static_cast<std::size_t>(g.numStars);
    std::vector<double> ax, ay, az, phi;
    if (accelerations) {
        ax.resize(n), ay.resize(n), az.resize(n), phi.resize(n);
        starAccelerations(g, ax.data(), ay.data(), az.data());
        starPotentials(g, phi.data());
    }
    for (std::size_t i = 0; i < n; ++i) {
        double row[13] = {static_cast<double>(i), g.mass[i], g.pos.x[i], g.pos.y[i], g.pos.z[i],
                          g.vel.x[i],            g.vel.y[i], g.vel.z[i], static_cast<double>(g.color[i])};
        std::size_t fields = 9;
        if (accelerations) {
            for (const double value : {ax[i], ay[i], az[i], phi[i]}) row[fields++] = value;
        }
        state.writeRow(std::span(row, fields));
    }
}

// "step 1200/5000 (24%)" on standard error once the run has taken a second.
// On a terminal the line is redrawn in place a few times a second; into a log
// a plain line is written every ten seconds instead, so the log stays readable.
// Without a unit only the share is shown: "exact energy (24%)".
class ProgressLine {
public:
    ProgressLine(const char* what, bool counted, int total, Clock::time_point start)
        : what_(what), counted_(counted), total_(total), start_(start), terminal_(isatty(STDERR_FILENO) != 0) {}

    void update(int step, Clock::time_point now) {
        using namespace std::chrono_literals;
        const Clock::duration interval = terminal_ ? Clock::duration(250ms) : Clock::duration(10s);
        if (total_ <= 0 || now - start_ < 1s || (shown_ && now - lastShown_ < interval)) return;
        show(step);
        lastShown_ = now;
    }

    // Takes the line away so that a report on the same terminal starts clean;
    // the next update draws it again.
    void clear() {
        if (!onScreen_) return;
        std::fprintf(stderr, "\r%*s\r", width_, "");
        onScreen_ = false;
    }

    // Shows 100% for good, ahead of the final report.
    void finish() {
        if (shown_) show(total_);
        if (onScreen_) std::fputc('\n', stderr);
        onScreen_ = false;
    }

private:
    void show(int step) {
        const long long percent = 100LL * step / total_;
        char count[32] = "";
        if (counted_) std::snprintf(count, sizeof count, " %d/%d", step, total_);
        width_ = std::fprintf(stderr, terminal_ ? "\r%s%s (%lld%%)" : "%s%s (%lld%%)\n", what_, count, percent);
        std::fflush(stderr);
        shown_ = true;
        onScreen_ = terminal_;
    }

    const char* what_;
    bool counted_;
    int total_;
    Clock::time_point start_;
    bool terminal_;
    bool shown_ = false;
    bool onScreen_ = false;
    int width_ = 0;
    Clock::time_point lastShown_;
};

// The outputs of a run or a replay: opened before the first step, so that a
// wrong path costs no simulation time; a report, a CSV row and a frame as the
// run goes; the state, the final picture and the saved galaxy at its end.
class RunOutputs {
public:
    explicit RunOutputs(const SimOptions& options) : options_(options), pictures_(options.picture, g_galaxy) {
        // A CSV on the standard output keeps it to itself: the report moves aside.
        const bool csvOnStandardOutput =
            options.csvPath == CsvFile::kStandardOutput || options.statePath == CsvFile::kStandardOutput;
        reportTo_ = options.quiet ? nullptr : csvOnStandardOutput ? stderr : stdout;
    }

    // Every output in turn until one fails; empty when all are open.
    std::string open() {
        const SimOptions& o = options_;
        FileStatus status;
        if (!o.csvPath.empty()) status = series_.open(o.csvPath, kSeriesHeader);
        if (status.ok() && !o.statePath.empty()) status = state_.open(o.statePath, o.stateAccelerations ? kStateAccelerationsHeader : kStateHeader);
        if (status.ok() && !o.savePath.empty()) {
            status = saved_.open(o.savePath);
            if (status.ok() && galaxyFormatOf(o.savePath) == GalaxyFormat::Unknown)
                return unknownFormatMessage(o.savePath);
        }
        if (status.ok() && o.picture.wanted()) status = pictures_.prepare();
        return status.message;
    }

    // One more step (or snapshot) towards the rate of the next report.
    void count() { ++stepsSince_; }

    // The bookkeeping, the report and the CSV row of this step. The rate
    // covers the steps since the previous report and leaves out the reports
    // themselves, whose bookkeeping costs a pass over all pairs or over the
    // tree or grid.
    void report(int step, const std::string& what, const char* rateUnit, ProgressLine& progress) {
        const double seconds = std::chrono::duration<double>(Clock::now() - since_).count();
        const double rate = stepsSince_ > 0 && seconds > 0.0 ? stepsSince_ / seconds : 0.0;
        progress.clear();
        // The exact pass over all pairs takes minutes for a large galaxy.
        ProgressLine exactPass("exact energy", false, 100, Clock::now());
        g_galaxy.bookkeeping([&](double share) { exactPass.update(static_cast<int>(100.0 * share), Clock::now()); });
        exactPass.clear();
        // The setup line heads the reports, and again whenever a snapshot
        // brings other settings.
        const std::string setup = setupText();
        if (reportTo_) {
            if (setup != setup_) std::fputs(setup.c_str(), reportTo_);
            printReport(reportTo_, what, rateUnit, rate);
        }
        setup_ = setup;
        if (series_.isOpen()) writeSeriesRow(series_, step, rate);
        stepsSince_ = 0;
        since_ = Clock::now();
    }

    // A frame that cannot be written ends the run: the frames after it would
    // fail the same way.
    bool frame(int step) {
        const FileStatus written = pictures_.frame(step);
        if (!written.ok()) complain(written.message);
        return written.ok();
    }

    // The outputs of the end. Every one is attempted even when an earlier
    // one failed, so that one full disk or vanished directory does not cost
    // the others. Returns the exit status.
    int finish() {
        int status = 0;
        const auto failed = [&](const std::string& message) {
            complain(message);
            status = 1;
        };
        if (state_.isOpen()) writeState(state_, options_.stateAccelerations);
        for (CsvFile* file : {&series_, &state_}) {
            if (!file->isOpen()) continue;
            if (const FileStatus closed = file->close(); !closed.ok()) failed(closed.message);
        }
        if (const FileStatus drawn = pictures_.finish(); !drawn.ok()) failed(drawn.message);
        if (saved_.isOpen()) {
            const GalaxyFileStatus written = writeAnyGalaxyFile(g_galaxy, saved_);
            if (!written.ok()) failed(written.message);
        }
        return status;
    }

private:
    const SimOptions& options_;
    std::FILE* reportTo_ = nullptr;
    PictureWriter pictures_;
    CsvFile series_, state_;
    ReplacingFile saved_;
    std::string setup_;
    Clock::time_point since_ = Clock::now();
    int stepsSince_ = 0;
};

// zyr-sim --replay: the snapshots in name order as the steps of the run.
int replaySnapshots(const SimOptions& options) {
    auto files = expandSnapshotNames({options.replayPattern});
    if (!files.ok()) {
        complain(files.status.message);
        return 1;
    }
    // Only the thread count and the exact energy remain to be set; the rest
    // is refused beside --replay.
    applySettings(options, g_galaxy);
    RunOutputs outputs(options);
    if (const std::string error = outputs.open(); !error.empty()) {
        complain(error);
        return 1;
    }
    SnapshotSeries series(std::move(*files.value));
    const int last = series.size() - 1;
    ProgressLine progress("snapshot", true, last, Clock::now());
    for (int i = 0; i <= last; ++i) {
        // One snapshot in memory at a time; each keeps the view the first set.
        const GalaxyFileStatus status = i == 0 ? series.show(g_galaxy, 0, false) : series.next(g_galaxy);
        if (!status.ok()) {
            progress.clear();
            complain(status.message);
            return 1;
        }
        warnAbout(status);
        if (i == 0 && options.picture.wanted()) applyPictureOptions(options.picture, g_galaxy);
        if (i > 0) outputs.count();
        if (i == last) progress.finish();
        outputs.report(i, "snapshot " + std::to_string(i) + "/" + std::to_string(last) + " " + series.file(i),
                       "snapshots", progress);
        if (!outputs.frame(i)) return 1;
        if (i < last) progress.update(i, Clock::now());
    }
    return outputs.finish();
}

// --export-gadget4: the folder instead of a run.
int exportGadget4(const SimOptions& options) {
    const CGalaxy& g = g_galaxy;
    const Gadget4Run run{*options.until, options.snapshots};
    const Gadget4ExportStatus status = exportForGadget4(g, options.gadget4Dir, run);
    if (!status.ok()) {
        complain(status.message);
        return 1;
    }
    if (!options.quiet) {
        const std::string& unit = g.timeUnitName[g.scale];
        std::printf("GADGET-4 folder %s: ic.hdf5 (%d stars), param.txt, Config.sh, README.txt\n"
                    "  a run from %s to %s %s with %d snapshots after the start; README.txt says how to run it\n",
                    options.gadget4Dir.c_str(), g.numStars, numberText(g.time, std::chars_format::general, 6).c_str(),
                    numberText(run.until, std::chars_format::general, 6).c_str(), unit.c_str(), run.snapshots);
    }
    return 0;
}

}  // namespace

int runSimulation(const SimOptions& options) {
    if (!options.threads) {
        if (const std::string warning = workerThreadsWarning(); !warning.empty()) complain("warning: " + warning);
    }
    if (!options.replayPattern.empty()) return replaySnapshots(options);
    if (const SetUpFailure failure = setUpGalaxy(options); !failure.message.empty()) {
        complain(failure.message);
        return failure.exitStatus;
    }
    if (options.centre) g_galaxy.centre();
    if (!options.gadget4Dir.empty()) return exportGadget4(options);
    if (options.picture.wanted()) applyPictureOptions(options.picture, g_galaxy);
    RunOutputs outputs(options);
    if (const std::string error = outputs.open(); !error.empty()) {
        complain(error);
        return 1;
    }

    ProgressLine progress("step", true, options.steps, Clock::now());
    auto report = [&](int step) {
        outputs.report(step, "step " + std::to_string(step) + "/" + std::to_string(options.steps), "steps",
                       progress);
    };
    report(0);
    if (!outputs.frame(0)) return 1;
    for (int step = 1; step <= options.steps; ++step) {
        g_galaxy.iteration += 1;
        integrationStep(g_galaxy);
        outputs.count();
        if (const int star = g_galaxy.firstNonFiniteStar(); star >= 0) {
            progress.clear();
            complain("step " + std::to_string(step) + " gave star " + std::to_string(star) +
                     " a position or velocity that is infinite or not a number; the run stops");
            return 1;
        }
        if (!outputs.frame(step)) return 1;
        if (step == options.steps) {
            progress.finish();
            report(step);
        } else {
            if (options.reportEvery > 0 && step % options.reportEvery == 0) report(step);
            progress.update(step, Clock::now());
        }
    }
    return outputs.finish();
}

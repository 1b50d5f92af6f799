#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "model/galaxy.h"
#include "physics/forces.h"
#include "physics/methods.h"
#include "physics/poly_interpolator.h"
#include "tests/support/galaxy_builder.h"

namespace {

// Gravity of a galaxy that is not the process's own, for the solvers' f.
CGalaxy* current = nullptr;
void gravityOfCurrent(int n, double t, double* y, double* f) { ComputeDerivatives(*current, n, t, y, f); }

// x'' = -x for every coordinate: exact solution x0 cos t + v0 sin t.
void oscillator(int n, double, double* y, double* f) {
    const int half = n / 2;
    for (int i = 0; i < half; ++i) {
        f[i] = y[half + i];
        f[half + i] = -y[i];
    }
}

std::vector<double> recordedTimes;
void recordTime(int n, double t, double* y, double* f) {
    recordedTimes.push_back(t);
    oscillator(n, t, y, f);
}

using Stepper = std::function<void(CGalaxy&, double)>;

const Stepper euler = [](CGalaxy& g, double h) { g.EulerStep(h, oscillator); };
const Stepper improved = [](CGalaxy& g, double h) { g.ImprovedEulerStep(h, oscillator); };
const Stepper rk4 = [](CGalaxy& g, double h) { g.RungeKutta4Step(h, oscillator); };
const Stepper adams = [](CGalaxy& g, double h) { g.AdamsMoultonStep(h, oscillator); };

// Largest error against the exact oscillator solution after integrating to t = 2.
double oscillatorError(const Stepper& step, int steps) {
    CGalaxy g;
    EXPECT_TRUE(installStars(g, {{1, 1.0, 0.5, -0.25, 0.0, 1.0, 0.5}}));
    const double h = 2.0 / steps;
    for (int k = 0; k < steps; ++k) step(g, h);
    const double t = g.time;
    const double x0[3] = {1.0, 0.5, -0.25}, v0[3] = {0.0, 1.0, 0.5};
    double err = 0;
    for (int c = 0; c < 3; ++c) {
        err = std::max(err, std::fabs(g.state[c] - (x0[c] * std::cos(t) + v0[c] * std::sin(t))));
        err = std::max(err, std::fabs(g.state[3 + c] - (-x0[c] * std::sin(t) + v0[c] * std::cos(t))));
    }
    return err;
}

// Two equal stars on a circular orbit of separation 1 with G (m1 + m2) = 1,
// so the period is 2 pi.
void circularPair(CGalaxy& g) {
    const double m = 0.5 / g.gravity;
    const double v = 0.5;  // sqrt(G m / (2 a))... = sqrt(0.25)
    ASSERT_TRUE(installStars(g, {{m, 0.5, 0, 0, 0, v, 0}, {m, -0.5, 0, 0, 0, -v, 0}}));
    g.shieldModifier = 0.0;
}

double pairEnergy(const CGalaxy& g) {
    const double dx = g.pos.x[1] - g.pos.x[0], dy = g.pos.y[1] - g.pos.y[0], dz = g.pos.z[1] - g.pos.z[0];
    double ke = 0;
    for (int i = 0; i < 2; ++i) ke += 0.5 * g.mass[i] * (g.vel.x[i] * g.vel.x[i] + g.vel.y[i] * g.vel.y[i] + g.vel.z[i] * g.vel.z[i]);
    return ke - g.gravity * g.mass[0] * g.mass[1] / std::sqrt(dx * dx + dy * dy + dz * dz);
}

// An eccentric pair with G (m1 + m2) = 1, unshielded, whose gravity the
// solvers' f computes; vz tilts the orbit out of the plane.
void eccentricPair(CGalaxy& g, double vz = 0.0) {
    const double m = 0.5 / g.gravity;
    EXPECT_TRUE(installStars(g, {{m, 0.5, 0, 0, 0, 0.3, 0}, {m, -0.5, 0, 0, 0, -0.3, vz}}));
    g.shieldModifier = 0.0;
    current = &g;
}

void stepWith(CGalaxy& g, int method, double h) {
    switch (method) {
    case IntegrationMethod::Euler: g.EulerStep(h, gravityOfCurrent); break;
    case IntegrationMethod::ImprovedEuler: g.ImprovedEulerStep(h, gravityOfCurrent); break;
    case IntegrationMethod::RungeKutta4: g.RungeKutta4Step(h, gravityOfCurrent); break;
    case IntegrationMethod::AdamsMoulton: g.AdamsMoultonStep(h, gravityOfCurrent); break;
    case IntegrationMethod::Leapfrog: g.LeapfrogStep(h, gravityOfCurrent); break;
    default: g.DynamicEulerStep(h); break;
    }
}

// The energy error of a fixed span of the eccentric pair shrinks with the order.
double eccentricEnergyError(int method, int steps) {
    CGalaxy g;
    eccentricPair(g);
    const double e0 = pairEnergy(g);
    const double h = 3.0 / steps;
    for (int k = 0; k < steps; ++k) stepWith(g, method, h);
    return std::fabs(pairEnergy(g) - e0) / std::fabs(e0);
}

}  // namespace

TEST(Integrators, EveryStepAdvancesTimeByExactlyTheStep) {
    CGalaxy g;
    ASSERT_TRUE(installStars(g, {{1, 1, 0, 0}, {1, -1, 0, 0}}));
    current = &g;
    const double h = 0.1;
    double expected = 0.0;
    for (int method = 0; method < 5; ++method) {
        g.time = 3.7;
        for (int k = 0; k < 6; ++k) {  // Adams-Moulton gets past its start-up
            expected = g.time + h;
            switch (method) {
            case 0: g.EulerStep(h, gravityOfCurrent); break;
            case 1: g.ImprovedEulerStep(h, gravityOfCurrent); break;
            case 2: g.RungeKutta4Step(h, gravityOfCurrent); break;
            case 3: g.AdamsMoultonStep(h, gravityOfCurrent); break;
            default: g.DynamicEulerStep(h); break;
            }
            EXPECT_EQ(g.time, expected) << "method " << method << " step " << k;
        }
    }
}

TEST(Integrators, RungeKutta4EvaluatesAtTheStartTheMiddleTwiceAndTheEnd) {
    CGalaxy g;
    ASSERT_TRUE(installStars(g, {{1, 1, 0, 0}}));
    g.time = 2.0;
    recordedTimes.clear();
    g.RungeKutta4Step(0.5, recordTime);
    EXPECT_EQ(recordedTimes, (std::vector<double>{2.0, 2.25, 2.25, 2.5}));
    recordedTimes.clear();
    g.ImprovedEulerStep(0.5, recordTime);
    EXPECT_EQ(recordedTimes, (std::vector<double>{2.5, 2.5}));
    recordedTimes.clear();
    g.historyCount = 0;
    g.AdamsMoultonStep(0.5, recordTime);  // start-up: two inside Improved Euler, one for the history
    EXPECT_EQ(recordedTimes.size(), 3u);
}

TEST(Integrators, ErrorShrinksWithTheOrderOfEachMethod) {
    struct Case {
        const char* name;
        Stepper step;
        double low, high;  // expected error ratio when the step is halved
    };
    const Case cases[] = {
        {"euler", euler, 1.8, 2.3},
        {"improved euler", improved, 3.6, 4.4},
        {"runge kutta 4", rk4, 14.0, 18.0},
        // the Improved Euler start-up leaves a third-order trace
        {"adams-moulton", adams, 7.0, 18.0},
    };
    for (const Case& c : cases) {
        const double coarse = oscillatorError(c.step, 80), fine = oscillatorError(c.step, 160);
        EXPECT_GT(coarse / fine, c.low) << c.name;
        EXPECT_LT(coarse / fine, c.high) << c.name;
    }
}

TEST(Integrators, EnergyErrorOfAnEccentricOrbitShrinksWithTheOrder) {
    for (int method : {IntegrationMethod::Euler, IntegrationMethod::ImprovedEuler, IntegrationMethod::RungeKutta4,
                       IntegrationMethod::AdamsMoulton}) {
        const double order = method == IntegrationMethod::Euler ? 1 : method == IntegrationMethod::ImprovedEuler ? 2 : 3;
        const double coarse = eccentricEnergyError(method, 400), fine = eccentricEnergyError(method, 800);
        EXPECT_GT(coarse / fine, std::pow(2.0, order) * 0.8) << "method " << method;
    }
}

TEST(Integrators, CircularTwoBodyOrbitKeepsItsAnalyticPeriod) {
    CGalaxy g;
    circularPair(g);
    current = &g;
    const double period = 2 * M_PI;
    const int steps = 2000;
    const double h = period / steps;
    for (int k = 0; k < steps / 2; ++k) g.RungeKutta4Step(h, gravityOfCurrent);
    EXPECT_NEAR(g.pos.x[0], -0.5, 1e-9);
    EXPECT_NEAR(g.pos.y[0], 0.0, 1e-9);
    for (int k = 0; k < steps / 2; ++k) g.RungeKutta4Step(h, gravityOfCurrent);
    EXPECT_NEAR(g.pos.x[0], 0.5, 1e-9);
    EXPECT_NEAR(g.pos.y[0], 0.0, 1e-9);
    EXPECT_NEAR(g.vel.y[1], -0.5, 1e-9);
}

TEST(AdamsMoulton, StartsWithFourImprovedEulerStepsThenPredictsAndCorrects) {
    CGalaxy a, b;
    for (CGalaxy* g : {&a, &b}) {
        g->requestedStars = 30;
        g->randomSeed = 9;
        ASSERT_TRUE(g->newGalaxy());
    }
    const double h = a.timeStep;
    for (int k = 0; k < 4; ++k) {
        current = &a;
        a.AdamsMoultonStep(h, gravityOfCurrent);
        current = &b;
        b.ImprovedEulerStep(h, gravityOfCurrent);
        EXPECT_EQ(a.historyCount, k + 1);
        for (int i = 0; i < a.stateLen; ++i) ASSERT_EQ(a.state[i], b.state[i]) << "step " << k;
    }
    // history slots hold the derivatives at the new states, oldest first
    EXPECT_EQ(a.scratch[6][0], h);
    EXPECT_EQ(a.scratch[9][0], 4 * h);
    current = &a;
    a.AdamsMoultonStep(h, gravityOfCurrent);
    current = &b;
    b.ImprovedEulerStep(h, gravityOfCurrent);
    bool differs = false;
    for (int i = 0; i < a.stateLen; ++i) differs |= a.state[i] != b.state[i];
    EXPECT_TRUE(differs);
    EXPECT_EQ(a.scratch[9][0], 5 * h);
    EXPECT_EQ(a.scratch[6][a.stateLen - 1], 2 * h);
}

TEST(AdamsMoulton, EqualStepsGiveTheClassicalCoefficients) {
    // Predictor over a fresh step of length h from four equally spaced values
    // equals Adams-Bashforth; the corrector equals Adams-Moulton.
    CPolyInterpolator p(4);
    const double t[4] = {10.0, 10.5, 11.0, 11.5}, f[4] = {0.3, -1.2, 2.5, 0.7};
    const double h = 0.5;
    p.SetPoints(t, f);
    EXPECT_NEAR(p.Integrate(11.5, 12.0), h / 24 * (55 * f[3] - 59 * f[2] + 37 * f[1] - 9 * f[0]), 1e-9);
    const double fNew = -0.4;
    const double t2[4] = {10.5, 11.0, 11.5, 12.0}, f2[4] = {f[1], f[2], f[3], fNew};
    p.SetPoints(t2, f2);
    EXPECT_NEAR(p.Integrate(11.5, 12.0), h / 24 * (9 * fNew + 19 * f[3] - 5 * f[2] + f[1]), 1e-9);
}

TEST(AdamsMoulton, InterpolatorIntegratesCubicsExactlyAtUnequalSpacing) {
    auto cubic = [](double x) { return 2 - x + 0.5 * x * x - 0.25 * x * x * x; };
    auto integral = [](double x) { return 2 * x - x * x / 2 + x * x * x / 6 - x * x * x * x / 16; };
    const double xs[4] = {-1.0, 0.25, 0.5, 2.0};
    double ys[4];
    for (int i = 0; i < 4; ++i) ys[i] = cubic(xs[i]);
    CPolyInterpolator p(4);
    p.SetPoints(xs, ys);
    EXPECT_NEAR(p.Integrate(0.5, 3.0), integral(3.0) - integral(0.5), 1e-12);
    EXPECT_EQ(p.integratedCoefficients()[0], 0.0);
    EXPECT_NEAR(p.integratedCoefficients()[4], -0.25 / 4, 1e-15);
}

TEST(AdamsMoulton, HalvingTheStepMidRunStaysAccurate) {
    CGalaxy g;
    ASSERT_TRUE(installStars(g, {{1, 1.0, 0, 0, 0, 0, 0}}));
    double h = 0.02;
    for (int k = 0; k < 50; ++k) g.AdamsMoultonStep(h, oscillator);
    h /= 2;
    for (int k = 0; k < 100; ++k) g.AdamsMoultonStep(h, oscillator);
    h *= 4;
    for (int k = 0; k < 25; ++k) g.AdamsMoultonStep(h, oscillator);
    EXPECT_NEAR(g.time, 3.0, 1e-12);
    // The Improved Euler start-up alone leaves about 5e-6; a history that
    // ignored the real times would integrate over the wrong intervals.
    EXPECT_NEAR(g.state[0], std::cos(g.time), 2e-5);
    EXPECT_NEAR(g.state[3], -std::sin(g.time), 2e-5);
}

TEST(AdamsMoulton, AStepLateInARunIsTheStepTakenAtTimeZero) {
    // The same orbit started at time 0 and at time 1e6: only the clock
    // differs, so the steps must agree to rounding. Polynomials in absolute
    // time lose (t/h)^3 of the step's precision and do not.
    CGalaxy early, late;
    for (CGalaxy* g : {&early, &late}) {
        ASSERT_TRUE(installStars(*g, {{1, 1.0, 0.5, 0, 0, 1.0, 0}}));
        if (g == &late) g->time = 1e6;
        for (int k = 0; k < 8; ++k) g->AdamsMoultonStep(0.05, oscillator);
    }
    for (int i = 0; i < early.stateLen; ++i) EXPECT_NEAR(late.state[i], early.state[i], 1e-9) << i;
}

TEST(AdamsMoulton, AnImprovedEulerStepInBetweenStaysOutOfTheHistory) {
    CGalaxy g;
    ASSERT_TRUE(installStars(g, {{1, 1.0, 0, 0, 0, 0, 0}}));
    const double h = 0.01;
    for (int k = 0; k < 6; ++k) g.AdamsMoultonStep(h, oscillator);
    const int count = g.historyCount;
    const double newest = g.scratch[9][0];
    g.ImprovedEulerStep(h, oscillator);  // taken by another integrator
    EXPECT_EQ(g.historyCount, count);
    EXPECT_EQ(g.scratch[9][0], newest);
    // the next step integrates from the newest history time to its new time
    // and adds that to the current state
    g.AdamsMoultonStep(h, oscillator);
    EXPECT_EQ(g.scratch[9][0], 8 * h);
    EXPECT_NEAR(g.state[0], std::cos(8 * h), 2e-3);
}

namespace {
int evaluations = 0;
void countedOscillator(int n, double t, double* y, double* f) {
    ++evaluations;
    oscillator(n, t, y, f);
}
}  // namespace

TEST(Leapfrog, OneEvaluationPerStepUntilWhatTheForcesDependOnChanges) {
    CGalaxy g;
    ASSERT_TRUE(installStars(g, {{1, 1.0, 0.5, 0, 0, 1.0, 0}, {2, -1, 0, 0}}));
    g.timeStep = 0.1;
    const auto evaluationsOfAStep = [&] {
        evaluations = 0;
        g.LeapfrogStep(g.timeStep, countedOscillator);
        return evaluations;
    };
    EXPECT_EQ(evaluationsOfAStep(), 2);  // the first step finds its own start
    EXPECT_EQ(evaluationsOfAStep(), 1);
    EXPECT_EQ(evaluationsOfAStep(), 1);
    const std::function<void()> changes[] = {
        [&] { g.mass[1] = 3; },        // an edited star
        [&] { g.pos.y[0] += 1e-9; },   // a moved one
        [&] { g.timeStep /= 2; },      // the shield radii follow the step
        [&] { g.forceMethod = ForceMethod::BarnesHut; },
        [&] { g.darkMatter = DarkMatterModel::Sphere; },
        [&] { g.ImprovedEulerStep(g.timeStep, countedOscillator); },  // another integrator in between
    };
    for (const auto& change : changes) {
        SCOPED_TRACE(&change - changes);
        change();
        EXPECT_EQ(evaluationsOfAStep(), 2);
        EXPECT_EQ(evaluationsOfAStep(), 1);
    }
}

TEST(Leapfrog, StepsBackwardRetraceTheStepsForward) {
    CGalaxy g;
    eccentricPair(g, 0.1);
    const std::vector<double> start(g.state, g.state + g.stateLen);
    for (int k = 0; k < 200; ++k) g.LeapfrogStep(0.01, gravityOfCurrent);
    for (int k = 0; k < 200; ++k) g.LeapfrogStep(-0.01, gravityOfCurrent);
    for (int i = 0; i < g.stateLen; ++i) EXPECT_NEAR(g.state[i], start[i], 1e-12) << i;
}

// Over many turns of an eccentric orbit the leapfrog's energy error swings
// but does not grow; Improved Euler's grows turn after turn.
TEST(Leapfrog, EnergyErrorStaysBoundedWhereImprovedEulersGrows) {
    const auto worstErrorPerSpan = [](int method) {
        CGalaxy g;
        eccentricPair(g);
        const double e0 = pairEnergy(g);
        std::vector<double> worst(4, 0.0);  // four spans of five turns each
        for (int k = 0; k < 40000; ++k) {
            stepWith(g, method, 0.01);
            double& w = worst[k / 10000];
            w = std::max(w, std::fabs(pairEnergy(g) - e0) / std::fabs(e0));
        }
        return worst;
    };
    const std::vector<double> leapfrog = worstErrorPerSpan(IntegrationMethod::Leapfrog),
                              improved = worstErrorPerSpan(IntegrationMethod::ImprovedEuler);
    EXPECT_LT(leapfrog[3], 1.5 * leapfrog[0]);
    EXPECT_GT(improved[3], 3 * improved[0]);
    EXPECT_LT(leapfrog[3], improved[3]);
}

TEST(DynamicEuler, WithoutPairsStarsDriftByTheirVelocity) {
    CGalaxy g;
    ASSERT_TRUE(installStars(g, {{400, 1, 2, 3, 0.5, -1, 2}}));
    g.DynamicEulerStep(2.0);
    EXPECT_EQ(g.pos.x[0], 2.0);
    EXPECT_EQ(g.pos.y[0], 0.0);
    EXPECT_EQ(g.pos.z[0], 7.0);
    EXPECT_EQ(g.vel.x[0], 0.5);
    ASSERT_TRUE(installStars(g, {}));
    g.DynamicEulerStep(2.0);
    EXPECT_EQ(g.time, 2.0);
}

TEST(DynamicEuler, PredictsTheSeparationToMidStep) {
    CGalaxy g;
    const double m = 1e9;
    ASSERT_TRUE(installStars(g, {{m, 0, 0, 0, 0, 0, 0}, {m, 1, 0, 0, 0, 0.2, 0}}));
    g.shieldModifier = 0.0;
    const double h = 0.5, G = g.gravity;
    g.DynamicEulerStep(h);
    // d = p0 - p1 = (-1, 0, 0), D = d + h/2 (v0 - v1) = (-1, -0.05, 0)
    const double k = G / 1.0;
    const double ax0 = -k * m * -1.0, ay0 = -k * m * -0.05;
    EXPECT_DOUBLE_EQ(g.acc.x[0], ax0);
    EXPECT_DOUBLE_EQ(g.acc.y[0], ay0);
    EXPECT_DOUBLE_EQ(g.acc.y[1], -ay0);
    EXPECT_DOUBLE_EQ(g.pos.x[0], h * (h / 2 * ax0));
    EXPECT_DOUBLE_EQ(g.vel.x[0], h * ax0);
    EXPECT_DOUBLE_EQ(g.pos.y[1], h * (0.2 + h / 2 * -ay0));
}

TEST(DynamicEuler, OneSharedShieldFromTheSecondStar) {
    CGalaxy g;
    // Both stars light, but star 1 is heavy enough to give the whole step a
    // shield wider than the pair's distance.
    ASSERT_TRUE(installStars(g, {{1e-9, 0, 0, 0}, {1e6, 0.3, 0, 0}, {1e-9, 0.2, 0, 0}}));
    const double s = ShieldRadius(g.gravity * 1e6, g.timeStep, g.shieldModifier);
    ASSERT_GT(s, 0.3);
    g.DynamicEulerStep(1.0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(g.acc.x[i], 0.0) << i;
}

TEST(Driver, EveryMethodStepsAnEmptyGalaxyAndALoneStar) {
    CGalaxy g;
    for (const IntegratorInfo& integrator : kIntegrators)
        for (const ForceMethodInfo& force : kForceMethods)
            for (const bool lone : {false, true}) {
                SCOPED_TRACE(std::string(integrator.name) + ", " + force.name + (lone ? ", one star" : ", no stars"));
                ASSERT_TRUE(installStars(g, lone ? std::vector<TestStar>{{400, 1, 2, 3, 0.5, 0, -0.25}}
                                                 : std::vector<TestStar>{}));
                g.integrationMethod = integrator.id;
                g.forceMethod = force.id;
                for (int k = 0; k < 6; ++k) integrationStep(g);  // Adams-Moulton gets past its start-up
                EXPECT_EQ(g.time, 6 * g.timeStep);
                if (lone) {  // nothing pulls it: it drifts
                    EXPECT_DOUBLE_EQ(g.pos.x[0], 1 + 6 * g.timeStep * 0.5);
                    EXPECT_DOUBLE_EQ(g.pos.z[0], 3 - 6 * g.timeStep * 0.25);
                    EXPECT_EQ(g.vel.x[0], 0.5);
                }
            }
}

TEST(Driver, TheStepFollowsTheLiveIntegrator) {
    CGalaxy g;
    g.requestedStars = 16;
    g.randomSeed = 4;
    ASSERT_TRUE(g.newGalaxy());
    for (const IntegratorInfo& info : kIntegrators) {
        g.integrationMethod = info.id;
        g.historyCount = 0;
        const double before = g.time;
        integrationStep(g);
        EXPECT_EQ(g.time, before + g.timeStep) << info.name;
    }
    EXPECT_EQ(findIntegrator("rk4")->id, IntegrationMethod::RungeKutta4);
    EXPECT_STREQ(findIntegrator("adams-moulton")->label, "Integration: Adams-Moulton");
    EXPECT_EQ(findIntegrator("leapfrog")->id, IntegrationMethod::Leapfrog);
    EXPECT_STREQ(findForceMethod("particle-mesh")->label, "Force Method: Particle-Mesh");
}

// Galaxies share nothing while they step: two stepped at once from two threads
// end with the bits they get one after the other.
TEST(Driver, TwoGalaxiesSteppedFromTwoThreadsGetTheBitsOfSteppingThemInTurn) {
    constexpr int kSteps = 4;
    const auto make = [](CGalaxy& g, int shape, int force, int integrator) {
        g.requestedStars = 1500;
        g.shape = shape;
        g.randomSeed = 7;
        g.forceSetting = force;
        g.integrationSetting = integrator;
        ASSERT_TRUE(g.newGalaxy());
    };
    const auto run = [](CGalaxy& g) {
        for (int k = 0; k < kSteps; ++k) integrationStep(g);
    };
    const auto stateOf = [](const CGalaxy& g) { return std::vector<double>(g.state, g.state + g.stateLen); };
    // Beside another force method, and beside the same one (whose grid or tree
    // must not be shared).
    for (const ForceMethodInfo& force : kForceMethods)
        for (const int other : {(force.id + 1) % 3, force.id}) {
            SCOPED_TRACE(std::string(force.name) + " beside " + kForceMethods[other].name);
            CGalaxy a, b, c, d;
            make(a, GalaxyShape::Disc, force.id, IntegrationMethod::Leapfrog);
            make(b, GalaxyShape::Sphere, other, IntegrationMethod::AdamsMoulton);
            make(c, GalaxyShape::Disc, force.id, IntegrationMethod::Leapfrog);
            make(d, GalaxyShape::Sphere, other, IntegrationMethod::AdamsMoulton);
            run(a);
            run(b);
            std::thread first([&] { run(c); });
            std::thread second([&] { run(d); });
            first.join();
            second.join();
            EXPECT_EQ(stateOf(a), stateOf(c));
            EXPECT_EQ(stateOf(b), stateOf(d));
        }
}

// What a galaxy remembers from one step to the next (the leapfrog's start,
// the tree's share of the potential) never shows: after any command that may
// come between two steps, going on gives the bits of a fresh galaxy of the
// same stars and settings. Solar System and Earth-Sun share the gravity but
// not the box, which fixes the tree's root. Adams-Moulton's history is part
// of its method, not a memo, and is left out.
TEST(Driver, GoingOnAfterAMidRunCommandGivesTheBitsOfAFreshGalaxy) {
    const auto setScale = [](int scale) {
        return [scale](CGalaxy& g) {
            g.scale = g.scaleSetting = scale;
            g.setScale(scale);
        };
    };
    const std::pair<const char*, std::function<void(CGalaxy&)>> commands[] = {
        {"Earth - Sun", setScale(UnitScale::EarthSun)},
        {"Galactic", setScale(UnitScale::Galactic)},
        {"Halve Timestep", [](CGalaxy& g) { g.timeStep *= 0.5; }},
        {"shield", [](CGalaxy& g) { g.shieldModifier = 4.0; }},
        {"force method", [](CGalaxy& g) { g.forceMethod = (g.forceMethod + 1) % 3; }},
        {"halo", [](CGalaxy& g) { g.darkMatter = DarkMatterModel::Sphere; }},
        {"halo radius", [](CGalaxy& g) { g.darkMatter = DarkMatterModel::Sphere, g.darkRadius = 2.0; }},
        {"star edited", [](CGalaxy& g) { g.mass[3] *= 2.0; }},
        {"Centre Galaxy", [](CGalaxy& g) { g.centre(); }},
    };
    const auto freshCopy = [](const CGalaxy& a, CGalaxy& b) {
        b.scaleSetting = a.scale;
        b.forceSetting = a.forceMethod;
        b.integrationSetting = a.integrationMethod;
        b.timeStepSetting = a.timeStep;
        b.shieldSetting = a.shieldModifier;
        b.darkMatterSetting = a.darkMatter;
        b.darkRadiusSetting = a.darkRadius;
        b.darkFractionSetting = a.darkFraction;
        ASSERT_TRUE(b.reset(a.numStars, a.pos, a.vel, a.mass, a.color));
        b.time = a.time;
    };
    const auto stateOf = [](const CGalaxy& g) { return std::vector<double>(g.state, g.state + g.stateLen); };
    for (const IntegratorInfo& integrator : kIntegrators) {
        if (integrator.id == IntegrationMethod::AdamsMoulton) continue;
        for (const ForceMethodInfo& force : kForceMethods) {
            for (const auto& [name, command] : commands) {
                SCOPED_TRACE(std::string(integrator.name) + ", " + force.name + ", " + name);
                CGalaxy a;
                a.requestedStars = 200;
                a.randomSeed = 3;
                a.scaleSetting = UnitScale::SolarSystem;
                a.forceSetting = force.id;
                a.integrationSetting = integrator.id;
                ASSERT_TRUE(a.newGalaxy());
                // straight after the generation, whose tree walk the report may take
                command(a);
                CGalaxy b;
                freshCopy(a, b);
                a.bookkeeping();
                b.bookkeeping();
                EXPECT_EQ(a.potentialEnergy, b.potentialEnergy);
                // between two steps
                for (int k = 0; k < 2; ++k) integrationStep(a);
                command(a);
                CGalaxy c;
                freshCopy(a, c);
                for (int k = 0; k < 2; ++k) {
                    integrationStep(a);
                    integrationStep(c);
                }
                EXPECT_EQ(stateOf(a), stateOf(c));
            }
        }
    }
}

#pragma once

#include <string>
#include <string_view>

class CGalaxy;

// The integrators and force methods as data: the driver, the report, the
// dialogs and zyr-sim all read these tables.

struct IntegratorInfo {
    int id;                     // IntegrationMethod value
    const char* name;           // command-line name
    const char* label;          // report line
    int derivativeEvaluations;  // per step once started (Adams-Moulton: three while starting, Leapfrog: two)
};

struct ForceMethodInfo {
    int id;            // ForceMethod value
    const char* name;  // command-line name
    const char* label;  // report line
};

inline constexpr IntegratorInfo kIntegrators[] = {
    {0, "euler", "Integration: Euler", 1},
    {1, "improved-euler", "Integration: Improved Euler", 2},
    {2, "rk4", "Integration: Runge Kutta 4", 4},
    {3, "adams-moulton", "Integration: Adams-Moulton", 2},
    {4, "dynamic-euler", "Integration: Dynamic Euler", 0},
    {5, "leapfrog", "Integration: Leapfrog", 1},
};

struct SofteningInfo {
    int id;             // Softening value
    const char* name;   // command-line name
    const char* label;  // report line, before the length
};

inline constexpr SofteningInfo kSoftenings[] = {
    {0, "shield", "Shield"},
    {1, "plummer", "Plummer"},
    {2, "spline", "Spline"},
};

inline constexpr ForceMethodInfo kForceMethods[] = {
    {0, "direct", "Force Method: Direct"},
    {1, "barnes-hut", "Force Method: Barnes-Hut"},
    {2, "particle-mesh", "Force Method: Particle-Mesh"},
};

// The name and the label of an entry of such a table (of these or of any
// other table of ids and names) by its id: "?" for an id no entry has.
template <class Table>
const char* nameOf(const Table& table, int id) {
    for (const auto& entry : table)
        if (entry.id == id) return entry.name;
    return "?";
}
template <class Table>
const char* labelOf(const Table& table, int id) {
    for (const auto& entry : table)
        if (entry.id == id) return entry.label;
    return "?";
}

// The report's lines of the force law and of the tree's accuracy,
// "Softening: Plummer, 0.05 k ly" and "Tree Opening: force error 0.001";
// empty while the galaxy pulls as the original did (the shield, and the
// opening angle 0.4 for the tree).
std::string softeningText(const CGalaxy& galaxy);
std::string treeOpeningText(const CGalaxy& galaxy);
// Stars of mass 0: they feel the others and pull on nobody.
int testStarCount(const CGalaxy& galaxy);

const IntegratorInfo* findIntegrator(std::string_view name);
const ForceMethodInfo* findForceMethod(std::string_view name);

// One integration step of the galaxy with its live integrator, time step and
// forces, as the simulation driver takes it. iteration is the driver's.
// Galaxies share nothing while they step, so two threads may step two
// galaxies at once (the force loops take turns in the worker pool); one
// galaxy is stepped by one thread at a time.
void integrationStep(CGalaxy& galaxy);

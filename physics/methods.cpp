#include "physics/methods.h"

#include "model/galaxy.h"
#include "model/number_text.h"
#include "physics/forces.h"

std::string softeningText(const CGalaxy& g) {
    if (g.softening == Softening::Shield) return {};
    const int scale = g.scale;
    const bool named = scale >= 0 && scale < static_cast<int>(g.lengthUnitName.size()) &&
                       !g.lengthUnitName[static_cast<std::size_t>(scale)].empty();
    return std::string("Softening: ") + labelOf(kSoftenings, g.softening) + ", " + shortestText(g.epsilon) +
           (named ? " " + g.lengthUnitName[static_cast<std::size_t>(scale)] : std::string());
}

std::string treeOpeningText(const CGalaxy& g) {
    if (g.forceMethod != ForceMethod::BarnesHut || g.integrationMethod == IntegrationMethod::DynamicEuler) return {};
    // The force error target takes over from the angle where it applies.
    if (g.forceError > 0.0 && g.softening != Softening::Shield)
        return "Tree Opening: force error " + shortestText(g.forceError);
    if (g.openingAngle == 0.4 && g.softening == Softening::Shield) return {};
    return "Tree Opening: angle " + shortestText(g.openingAngle);
}

int testStarCount(const CGalaxy& g) {
    int count = 0;
    for (int i = 0; i < g.numStars; ++i) count += g.mass[i] == 0.0;
    return count;
}

const IntegratorInfo* findIntegrator(std::string_view name) {
    for (const auto& info : kIntegrators)
        if (name == info.name) return &info;
    return nullptr;
}

const ForceMethodInfo* findForceMethod(std::string_view name) {
    for (const auto& info : kForceMethods)
        if (name == info.name) return &info;
    return nullptr;
}

void integrationStep(CGalaxy& g) {
    const double h = g.timeStep;
    const DerivativeFunc gravity(g);
    switch (g.integrationMethod) {
    case IntegrationMethod::Euler:
        g.EulerStep(h, gravity);
        break;
    case IntegrationMethod::ImprovedEuler:
        g.ImprovedEulerStep(h, gravity);
        break;
    case IntegrationMethod::RungeKutta4:
        g.RungeKutta4Step(h, gravity);
        break;
    case IntegrationMethod::AdamsMoulton:
        g.AdamsMoultonStep(h, gravity);
        break;
    case IntegrationMethod::Leapfrog:
        g.LeapfrogStep(h, gravity);
        break;
    default:
        g.DynamicEulerStep(h);
        break;
    }
}

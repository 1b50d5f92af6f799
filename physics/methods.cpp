#include "physics/methods.h"

#include "model/galaxy.h"
#include "physics/forces.h"

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

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

void integrationStep() {
    CGalaxy& g = g_galaxy;
    const double h = g.timeStep;
    switch (g.integrationMethod) {
    case IntegrationMethod::Euler:
        g.EulerStep(h, ComputeDerivatives);
        break;
    case IntegrationMethod::ImprovedEuler:
        g.ImprovedEulerStep(h, ComputeDerivatives);
        break;
    case IntegrationMethod::RungeKutta4:
        g.RungeKutta4Step(h, ComputeDerivatives);
        break;
    case IntegrationMethod::AdamsMoulton:
        g.AdamsMoultonStep(h, ComputeDerivatives);
        break;
    case IntegrationMethod::Leapfrog:
        g.LeapfrogStep(h, ComputeDerivatives);
        break;
    default:
        g.DynamicEulerStep(h);
        break;
    }
}

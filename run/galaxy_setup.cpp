#include "run/galaxy_setup.h"

#include "io/any_galaxy_file.h"
#include "model/galaxy.h"

GalaxyFileStatus loadGalaxy(CGalaxy& g, const std::string& path, const SimOptions& options) {
    applySettings(options, g);
    GalaxyFileStatus status = loadAnyGalaxyFile(g, path);
    if (!status.ok()) return status;
    if (options.force) g.forceMethod = *options.force;
    if (options.integrator) g.integrationMethod = *options.integrator;
    if (options.timeStep) g.timeStep = *options.timeStep;
    if (options.shield) g.shieldModifier = *options.shield;
    if (options.softening) g.softening = *options.softening;
    if (options.epsilon) g.epsilon = *options.epsilon;
    if (options.openingAngle) g.openingAngle = *options.openingAngle;
    if (options.forceError) g.forceError = *options.forceError;
    if (options.darkMatter) g.darkMatter = *options.darkMatter;
    if (options.darkRadius) g.darkRadius = *options.darkRadius;
    if (options.darkFraction) g.darkFraction = *options.darkFraction;
    g.forceSetting = g.forceMethod;
    g.integrationSetting = g.integrationMethod;
    g.timeStepSetting = g.timeStep;
    g.shieldSetting = g.shieldModifier;
    g.softeningSetting = g.softening;
    g.epsilonSetting = g.epsilon;
    g.openingAngleSetting = g.openingAngle;
    g.forceErrorSetting = g.forceError;
    g.darkMatterSetting = g.darkMatter;
    g.darkRadiusSetting = g.darkRadius;
    g.darkFractionSetting = g.darkFraction;
    return status;
}

#include "run/galaxy_setup.h"

#include <string>
#include <utility>

#include "io/any_galaxy_file.h"
#include "model/galaxy.h"
#include "model/number_text.h"
#include "physics/equilibrium.h"
#include "physics/methods.h"

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
    g.haloMassSetting = g.haloMass;
    g.haloRadiusSetting = g.haloRadius;
    g.haloConcentrationSetting = g.haloConcentration;
    g.bulgeMassSetting = g.bulgeMass;
    g.bulgeRadiusSetting = g.bulgeRadius;
    return status;
}

GenerateStatus generateGalaxy(CGalaxy& g, const SimOptions& options, OptionSpelling spelling) {
    applySettings(options, g);
    const bool model = isModelShape(g.shape);
    if (const std::string unused = unusedModelOptions(options, g, spelling); !unused.empty())
        return GenerateStatus::failure(GenerateError::BadArguments, unused);
    if (model) {
        if (std::string problem = modelProblem(modelInputsOf(g)); !problem.empty())
            return GenerateStatus::failure(GenerateError::BadArguments, std::move(problem));
    }
    if (!g.newGalaxy()) {
        long long stars = g.requestedStars;
        if (model) stars = modelStarCounts(g.shape, g.requestedStars, g.centralMass, g.modelSetting).total();
        return GenerateStatus::failure(GenerateError::TooManyStars,
                                       "a galaxy of " + std::to_string(stars) + " stars does not fit into memory");
    }
    // The model wrote its choices into setting and live value; the caller's
    // own take their place in both, and its sentence says so.
    // A model keeps a softening it is given and replaces only the shield.
    const bool shieldGiven = options.softening && *options.softening != g.softening;
    if (options.timeStep) g.timeStepSetting = g.timeStep = *options.timeStep;
    if (options.softening) g.softeningSetting = g.softening = *options.softening;
    if (options.epsilon) g.epsilonSetting = g.epsilon = *options.epsilon;
    if (model && (options.timeStep || shieldGiven || options.epsilon)) {
        const auto number = [](double value) { return numberText(value, std::chars_format::general, 6); };
        std::string given;
        const auto add = [&given](const std::string& what) { given += (given.empty() ? "" : ", ") + what; };
        if (shieldGiven) add(std::string("softening ") + nameOf(kSoftenings, g.softening));
        if (options.epsilon) add("epsilon " + number(g.epsilon) + " " + g.lengthUnitName[g.scale]);
        if (options.timeStep) add("time step " + number(g.timeStep) + " " + g.timeUnitName[g.scale]);
        g.modelNote += "; given instead: " + given;
    }
    return {};
}

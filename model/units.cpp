#include "model/galaxy.h"

void CGalaxy::setScale(int newScale) {
    switch (newScale) {
    case UnitScale::SolarSystem:
        // Earth masses, as in Earth-Sun: the Solar System files already
        // written hold their masses in them.
        massUnit = earthMassKg;
        lengthUnit = auMeters;
        timeUnit = 86400.0;
        boxSize = 100.0;
        viewDistance = 1000.0;
        depthSpan = 200.0;
        panScale = 0.0475;
        break;
    case UnitScale::EarthSun:
        massUnit = earthMassKg;
        lengthUnit = auMeters;
        timeUnit = 86400.0;
        boxSize = 4.0;
        viewDistance = 40.0;
        depthSpan = 8.0;
        panScale = 1.1875;
        break;
    default:
        massUnit = solarMassKg;
        lengthUnit = kiloLightYearMeters;
        timeUnit = 3.15576e13;  // one million years of 365.25 days
        boxSize = 5.0;
        viewDistance = 50.0;
        depthSpan = 10.0;
        panScale = 0.95;
        break;
    }
    gravity = gravitySI * massUnit * timeUnit * timeUnit / (lengthUnit * lengthUnit * lengthUnit);
}

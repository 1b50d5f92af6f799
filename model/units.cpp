#include "model/galaxy.h"

void CGalaxy::setScale(int newScale) {
    switch (newScale) {
    case UnitScale::SolarSystem:
        // Earth masses, as in Earth-Sun: the Solar System files already
        // written hold their masses in them.
        massUnit = earthMassKg;
        lengthUnit = auMeters;
        timeUnit = 86400.0;
        setBox(100.0);
        break;
    case UnitScale::EarthSun:
        massUnit = earthMassKg;
        lengthUnit = auMeters;
        timeUnit = 86400.0;
        setBox(4.0);
        break;
    default:
        massUnit = solarMassKg;
        lengthUnit = kiloLightYearMeters;
        timeUnit = 3.15576e13;  // one million years of 365.25 days
        setBox(5.0);
        break;
    }
    gravity = gravitySI * massUnit * timeUnit * timeUnit / (lengthUnit * lengthUnit * lengthUnit);
}

void CGalaxy::setBox(double size) {
    boxSize = size;
    viewDistance = 10.0 * size;
    depthSpan = 2.0 * size;
    panScale = 4.75 / size;
}

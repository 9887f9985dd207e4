#pragma once

#include <vector>

#include "synth/BeamGeometry.h"

namespace fluvex::synth {

// A point of the bed: station in metres from the left bank, depth in metres below the surface.
struct BedPoint {
    double station = 0.0;
    double depth = 0.0;
};

// The bed across a prismatic channel, from the left bank (station 0) to the right bank (station
// = width). Beyond the banks there is no water, so a bank with a depth above 0 is a vertical wall.
class CrossSection {
public:
    // A parabola 60 m wide and 3 m deep.
    CrossSection();
    // Depth 0 at both banks and maxDepth mid-channel. Throws SynthError on a non-positive size.
    static CrossSection Parabolic(double width, double maxDepth);
    // Straight lines between points; the first station is 0, stations increase, depths are not
    // negative and the width is the last station. Throws SynthError otherwise.
    static CrossSection Polyline(std::vector<BedPoint> points);

    double Width() const { return width_; }
    double MaxDepth() const;
    double DepthAt(double station) const;
    // The wetted area between two stations (integral of the depth), negative when to < from.
    double Area(double fromStation, double toStation) const;
    // Slant distance from a point in the water along a straight ray to the bed or a bank wall.
    // The ray moves stationPerMetre across and depthPerMetre down per metre of slant range
    // (depthPerMetre > 0). Returns 0 when the point is not in the water.
    double RangeToBed(double station, double depth, double stationPerMetre,
                      double depthPerMetre) const;

private:
    CrossSection(double width, double parabolaDepth, std::vector<BedPoint> points);
    // Area from the left bank to the station.
    double AreaFromLeftBank(double station) const;
    double Clearance(double station, double depth) const { return DepthAt(station) - depth; }

    double width_;
    double parabolaDepth_;  // 0 for a polyline
    std::vector<BedPoint> points_;
};

// Water velocity, the same in every vertical: a power law in height above the bed,
// speed(h) = meanSpeed · (b + 1) · (h / depth)^b, whose depth average is meanSpeed whatever the
// exponent b; b = 0 is a uniform flow.
class WaterFlow {
public:
    WaterFlow() = default;
    // directionDeg: where the water goes, clockwise from north. Throws SynthError on a negative
    // speed or an exponent outside [0, 1].
    WaterFlow(double meanSpeed, double directionDeg, double exponent);

    double MeanSpeed() const { return meanSpeed_; }
    double Exponent() const { return exponent_; }
    // Unit vector of the flow, earth axes.
    Vec3 Direction() const;
    // Integral of the speed over the span [top, bottom] (metres below the surface) of a column of
    // the given depth, in m²/s; nothing flows below the bed.
    double SpeedIntegral(double top, double bottom, double columnDepth) const;
    // Mean velocity over the span, earth axes, m/s.
    Vec3 MeanVelocity(double top, double bottom, double columnDepth) const;

private:
    double meanSpeed_ = 0.5;
    double directionDeg_ = 0.0;
    double exponent_ = 0.0;
};

}  // namespace fluvex::synth

// A fleet of stations on plausible tracks in the approaches to a fjord: a
// base station ashore, class A ships and class B leisure craft.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "vessel.h"

namespace vf::sim {

class Fleet {
 public:
  // `size` stations, at least one (the first is the base station); the same
  // fleet for the same seed.
  Fleet(size_t size, uint32_t seed);

  // Moves every station on by `seconds`: dead reckoning with slow course
  // changes, turning back at the edges of the area.
  void Advance(double seconds);

  const std::vector<Vessel>& Vessels() const { return m_vessels; }
  const Vessel& operator[](size_t index) const { return m_vessels[index]; }
  size_t Size() const { return m_vessels.size(); }

 private:
  std::vector<Vessel> m_vessels;
  std::mt19937 m_random;
};

}  // namespace vf::sim

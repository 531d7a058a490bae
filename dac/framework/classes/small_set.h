// A set of the values of a small enumeration (fewer than 64 members), as
// option and state sets are kept: one bit per member.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace dac {

template <typename E>
class TSet {
 public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> members) {
    for (E m : members) bits_ |= Bit(m);
  }
  static constexpr TSet FromBits(uint64_t bits) {
    TSet s;
    s.bits_ = bits;
    return s;
  }

  constexpr bool Contains(E member) const { return (bits_ & Bit(member)) != 0; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr uint64_t Bits() const { return bits_; }
  constexpr TSet& Include(E member) {
    bits_ |= Bit(member);
    return *this;
  }
  constexpr TSet& Exclude(E member) {
    bits_ &= ~Bit(member);
    return *this;
  }

  friend constexpr bool operator==(TSet a, TSet b) = default;
  friend constexpr TSet operator|(TSet a, TSet b) { return FromBits(a.bits_ | b.bits_); }
  friend constexpr TSet operator&(TSet a, TSet b) { return FromBits(a.bits_ & b.bits_); }
  friend constexpr TSet operator-(TSet a, TSet b) { return FromBits(a.bits_ & ~b.bits_); }

 private:
  static constexpr uint64_t Bit(E member) { return uint64_t{1} << static_cast<unsigned>(member); }
  uint64_t bits_ = 0;
};

}  // namespace dac

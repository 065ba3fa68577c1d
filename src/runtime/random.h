// Randomness for the whole program: session ids, generated passwords, mail and file names. One
// interface, so that the server draws from the kernel's secure source and tests from a sequence.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace cb {

class Random {
 public:
  virtual ~Random() = default;
  // n random bytes. Raises std::runtime_error when the source fails.
  virtual void Fill(unsigned char* out, size_t n) = 0;
  virtual uint64_t Next64();
  // Uniform in [0, n) without modulo bias; 0 when n < 2.
  virtual uint32_t Uniform(uint32_t n);
  // bytes random bytes as 2 * bytes lower-case hex digits.
  std::string Hex(size_t bytes);
};

// The kernel's secure source (getrandom). Stateless, so one instance serves every thread.
class SecureRandom final : public Random {
 public:
  static SecureRandom& Shared();
  void Fill(unsigned char* out, size_t n) override;
};

// A repeatable sequence (splitmix64 over a counter) for tests; safe to share between threads.
class SeededRandom final : public Random {
 public:
  explicit SeededRandom(uint64_t seed = 0) : state_(seed) {}
  void Fill(unsigned char* out, size_t n) override;
  uint64_t Next64() override;

 private:
  std::atomic<uint64_t> state_;
};

}  // namespace cb

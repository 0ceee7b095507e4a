#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "serial/exceptions.h"

namespace serial {

// The numeric values are the ones validated and mapped when the port is
// configured; the fixed 32-bit type lets a caller pass any number.
enum ByteSize : int32_t { fivebits = 5, sixbits = 6, sevenbits = 7, eightbits = 8 };

enum Parity : int32_t {
    parity_none = 0,
    parity_odd = 1,
    parity_even = 2,
    parity_mark = 3,
    parity_space = 4
};

enum StopBits : int32_t { stopbits_one = 1, stopbits_two = 2, stopbits_one_point_five = 3 };

enum FlowControl : int32_t {
    flowcontrol_none = 0,
    flowcontrol_software = 1,
    flowcontrol_hardware = 2
};

// Time-outs in milliseconds. interByte all-ones means "no inter-byte limit";
// a total limit is constant + multiplier * bytes requested, 0 meaning none.
struct Timeout {
    static constexpr uint32_t max() { return 0xFFFFFFFFu; }

    // Reads and writes each end after at most t ms with whatever moved.
    static Timeout Total(uint32_t t) { return Timeout{max(), t, 0, t, 0}; }

    uint32_t interByte = 0;
    uint32_t readConstant = 0;
    uint32_t readMultiplier = 0;
    uint32_t writeConstant = 0;
    uint32_t writeMultiplier = 0;
};

// A blocking serial port, opened by its constructor. Reads are serialised
// against reads and writes against writes; a read and a write may overlap.
class Serial {
public:
    // An empty port name gives an object that stays closed for its life.
    Serial(const std::string& port = std::string(), uint32_t baudrate = 9600,
           Timeout timeout = Timeout(), ByteSize bytesize = eightbits, Parity parity = parity_none,
           StopBits stopbits = stopbits_one, FlowControl flowcontrol = flowcontrol_none);
    virtual ~Serial();

    Serial(const Serial&) = delete;
    Serial& operator=(const Serial&) = delete;

    bool isOpen() const;
    // True once a read found the line gone (hung up, adapter pulled, the
    // platform failing the read); such reads still return without raising.
    bool lineLost() const;
    // When the last byte of the latest read that returned bytes came in
    // (on Windows: when that read returned, as nothing finer is known).
    // The silence a frame must keep on the line is counted from it.
    std::chrono::steady_clock::time_point lastByteTime() const;
    void close();
    size_t read(uint8_t* buffer, size_t size);
    size_t write(const uint8_t* data, size_t size);

    class SerialImpl;

private:
    std::unique_ptr<SerialImpl> m_pimpl;
};

}  // namespace serial

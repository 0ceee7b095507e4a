#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace serial {

// Raised for a port that is already open.
class SerialException : public std::exception {
public:
    explicit SerialException(const std::string& description);
    const char* what() const noexcept override { return m_message.c_str(); }

private:
    std::string m_message;
};

// Raised by read and write on a closed port.
class PortNotOpenedException : public std::exception {
public:
    explicit PortNotOpenedException(const std::string& description);
    const char* what() const noexcept override { return m_message.c_str(); }

private:
    std::string m_message;
};

// Raised by a failing platform call; names the raise site so a report from
// the field can be traced to the exact call.
class IOException : public std::exception {
public:
    IOException(const std::string& file, int32_t line, const std::string& description);
    // The same, keeping the system's error number (errno, GetLastError) so
    // that a caller can say why an open failed; the message is unchanged.
    IOException(const std::string& file, int32_t line, const std::string& description,
                int32_t errorNumber);
    const char* what() const noexcept override { return m_message.c_str(); }

    const std::string& file() const { return m_file; }
    int32_t line() const { return m_line; }
    int32_t errorNumber() const { return m_errno; }

private:
    std::string m_file;
    int32_t m_line;
    std::string m_message;
    int32_t m_errno = 0;
};

}  // namespace serial

#include "serial/exceptions.h"

namespace serial {

SerialException::SerialException(const std::string& description)
    : m_message("SerialException " + description + " failed.") {}

PortNotOpenedException::PortNotOpenedException(const std::string& description)
    : m_message("PortNotOpenedException " + description + " failed.") {}

IOException::IOException(const std::string& file, int32_t line, const std::string& description)
    : m_file(file),
      m_line(line),
      m_message("IO Exception: " + description + ", file " + file + ", line " +
                std::to_string(line) + ".") {}

IOException::IOException(const std::string& file, int32_t line, const std::string& description,
                         int32_t errorNumber)
    : IOException(file, line, description) {
    m_errno = errorNumber;
}

}  // namespace serial

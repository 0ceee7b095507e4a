#include "serial/exceptions.h"

namespace serial {

SerialException::SerialException(const std::string& description)
    : message_("SerialException " + description + " failed.") {}

PortNotOpenedException::PortNotOpenedException(const std::string& description)
    : message_("PortNotOpenedException " + description + " failed.") {}

IOException::IOException(const std::string& file, int32_t line, const std::string& description)
    : file_(file),
      line_(line),
      message_("IO Exception: " + description + ", file " + file + ", line " + std::to_string(line) +
               ".") {}

IOException::IOException(const std::string& file, int32_t line, const std::string& description,
                         int32_t errorNumber)
    : IOException(file, line, description) {
    errno_ = errorNumber;
}

}  // namespace serial

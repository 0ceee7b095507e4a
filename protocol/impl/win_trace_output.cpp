#include <cerrno>
#include <cstdio>
#include <cstring>

#include "protocol/trace_output.h"

namespace protocol {

namespace {

class CStdioOutput final : public CTraceOutput {
public:
    explicit CStdioOutput(std::FILE* file) : m_file(file) {}
    ~CStdioOutput() override { std::fclose(m_file); }

    bool Write(const std::string& text, const std::atomic<bool>&, std::string& error) override {
        if (std::fwrite(text.data(), 1, text.size(), m_file) == text.size() &&
            std::fflush(m_file) == 0)
            return true;
        error = errno != 0 ? std::strerror(errno) : "nothing could be written";
        return false;
    }

private:
    std::FILE* m_file;
};

}  // namespace

std::unique_ptr<CTraceOutput> CTraceOutput::Open(const std::string& path, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (file == nullptr) {
        error = std::strerror(errno);
        return nullptr;
    }
    return std::make_unique<CStdioOutput>(file);
}

}  // namespace protocol

// The error the file layer raises when a read, write, seek or length query fails (disk full,
// short write, I/O error). Callers of CWaveWriter::Write and CWaveWriter::Close catch it.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

namespace sondrel {

class CFileError : public std::runtime_error {
public:
    // errorNumber is the errno value, or 0 when the operation failed without one (short write).
    CFileError(const std::string& what, std::filesystem::path path, int errorNumber)
        : std::runtime_error(what), m_path(std::move(path)), m_errorNumber(errorNumber) {}

    const std::filesystem::path& Path() const { return m_path; }
    int ErrorNumber() const { return m_errorNumber; }

private:
    std::filesystem::path m_path;
    int m_errorNumber;
};

}  // namespace sondrel

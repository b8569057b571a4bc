#pragma once
// quill-devsim and quill-cli as child processes, with a scratch folder for
// files and settings, and the hex files the tests download. Every wait is
// bounded.

#include <QProcess>
#include <QTemporaryDir>

#include <cstdint>
#include <string>
#include <vector>

namespace quill::e2e {

using Bytes = std::vector<uint8_t>;

// Carriage returns join the lines of the system's messages; quill-cli prints
// them as line breaks.
std::string lines(std::string text);

Bytes readFile(const std::string& path);
void writeFile(const std::string& path, const Bytes& bytes);
bool contains(const std::string& haystack, const std::string& needle);

class Scratch {
  public:
    Scratch();
    std::string path(const std::string& name) const;
    // XDG_CONFIG_HOME of quill-cli: the settings live in config/quill/quill.ini.
    std::string configHome() const { return path("config"); }

  private:
    QTemporaryDir m_dir;
};

struct Result {
    int code = -1; // exit code; -1 when the process crashed or did not end in time
    std::string err;
    std::string out;
};

// Runs a program to its end (at most `waitMs`), standard input from `stdinPath` if given.
Result run(const std::string& program, const std::vector<std::string>& args,
           const std::string& configHome = {}, const std::string& stdinPath = {},
           int waitMs = 15000);

Result runCli(const Scratch& scratch, const std::vector<std::string>& args,
              const std::string& stdinPath = {});

// quill-devsim on its pseudo-terminal, with its image and log in the scratch folder.
class Devsim {
  public:
    Devsim(const Scratch& scratch, const std::vector<std::string>& args);
    ~Devsim();
    Devsim(const Devsim&) = delete;
    Devsim& operator=(const Devsim&) = delete;

    const std::string& pty() const { return m_pty; }
    // Stops it; the image is written as it exits.
    void stop();
    Bytes image();
    std::string log();
    // The lines the device received: "host>" entries of its log.
    int hostLines();

  private:
    QProcess m_process;
    std::string m_pty;
    std::string m_image;
    std::string m_log;
};

// A deterministic pseudo-random binary.
Bytes randomBinary(size_t size, uint32_t seed);
// objcopy: binary -> Intel HEX at 0x08000000 with a start address (CR LF line ends).
void binaryToHex(const std::string& bin, const std::string& hex);
// objcopy: the .text of a real executable -> Intel HEX at 0x08000000.
void textSectionToHex(const std::string& executable, const std::string& hex);
// objcopy -I ihex -O binary --gap-fill 0xff: the image the device must end up with.
Bytes referenceImage(const Scratch& scratch, const std::string& hex);
// The same file with LF line ends.
void toLf(const std::string& from, const std::string& to);

} // namespace quill::e2e

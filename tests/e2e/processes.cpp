#include "processes.h"

#include <gtest/gtest.h>

#include <QProcessEnvironment>

#include <fstream>
#include <iterator>

namespace quill::e2e {

namespace {

QStringList qargs(const std::vector<std::string>& args) {
    QStringList list;
    for (const std::string& a : args) {
        list << QString::fromStdString(a);
    }
    return list;
}

void objcopy(const std::vector<std::string>& args) {
    const Result r = run(QUILL_OBJCOPY, args);
    ASSERT_EQ(r.code, 0) << r.err;
}

} // namespace

std::string lines(std::string text) {
    for (char& c : text) {
        if (c == '\r') {
            c = '\n';
        }
    }
    return text;
}

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

bool contains(const std::string& haystack, const std::string& needle) {
    return haystack.find(needle) != std::string::npos;
}

Scratch::Scratch() {
    EXPECT_TRUE(m_dir.isValid());
}

std::string Scratch::path(const std::string& name) const {
    return m_dir.filePath(QString::fromStdString(name)).toStdString();
}

Result run(const std::string& program, const std::vector<std::string>& args,
           const std::string& configHome, const std::string& stdinPath, int waitMs) {
    QProcess p;
    if (!configHome.empty()) {
        // The user's own settings are never read or written.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(configHome));
        p.setProcessEnvironment(env);
    }
    if (!stdinPath.empty()) {
        p.setStandardInputFile(QString::fromStdString(stdinPath));
    }
    p.start(QString::fromStdString(program), qargs(args));
    Result r;
    if (!p.waitForStarted(5000) || !p.waitForFinished(waitMs)) {
        p.kill();
        p.waitForFinished(5000);
        r.err = "did not end in time: " + p.readAllStandardError().toStdString();
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.err = p.readAllStandardError().toStdString();
    r.out = p.readAllStandardOutput().toStdString();
    return r;
}

Result runCli(const Scratch& scratch, const std::vector<std::string>& args,
              const std::string& stdinPath) {
    return run(QUILL_CLI, args, scratch.configHome(), stdinPath);
}

Devsim::Devsim(const Scratch& scratch, const std::vector<std::string>& args)
    : m_image(scratch.path("image.bin")), m_log(scratch.path("devsim.log")) {
    std::vector<std::string> all = args;
    all.insert(all.end(), {"--image", m_image, "--log", m_log});
    m_process.start(QStringLiteral(QUILL_DEVSIM), qargs(all));
    // The first line on its standard output is the terminal to open.
    while (!m_process.canReadLine() && m_process.waitForReadyRead(5000)) {
    }
    m_pty = m_process.readLine().trimmed().toStdString();
    EXPECT_FALSE(m_pty.empty()) << m_process.readAllStandardError().toStdString();
}

Devsim::~Devsim() {
    stop();
}

void Devsim::stop() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
}

Bytes Devsim::image() {
    stop();
    return readFile(m_image);
}

std::string Devsim::log() {
    const Bytes bytes = readFile(m_log);
    return {bytes.begin(), bytes.end()};
}

int Devsim::hostLines() {
    const std::string text = log();
    int count = 0;
    for (size_t at = text.find(" host> "); at != std::string::npos;
         at = text.find(" host> ", at + 1)) {
        ++count;
    }
    return count;
}

Bytes randomBinary(size_t size, uint32_t seed) {
    Bytes bytes(size);
    uint32_t state = seed;
    for (uint8_t& b : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        b = static_cast<uint8_t>(state >> 11);
    }
    return bytes;
}

void binaryToHex(const std::string& bin, const std::string& hex) {
    // --change-addresses moves the start address too: 0x8 becomes 0x08000008.
    objcopy({"-I", "binary", "-O", "ihex", "--change-addresses", "0x08000000", "--set-start", "0x8",
             bin, hex});
}

void textSectionToHex(const std::string& executable, const std::string& hex) {
    objcopy({"-O", "ihex", "-j", ".text", "--change-addresses", "0x08000000", executable, hex});
}

Bytes referenceImage(const Scratch& scratch, const std::string& hex) {
    const std::string bin = scratch.path("reference.bin");
    objcopy({"-I", "ihex", "-O", "binary", "--gap-fill", "0xff", hex, bin});
    return readFile(bin);
}

void toLf(const std::string& from, const std::string& to) {
    Bytes out;
    for (const uint8_t b : readFile(from)) {
        if (b != '\r') {
            out.push_back(b);
        }
    }
    writeFile(to, out);
}

} // namespace quill::e2e

#include "lab_support.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace lab {
namespace {

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

std::string LabScript() {
    return EnvOr("KORVANE_LAB_SCRIPT", std::string(KORVANE_SOURCE_DIR) + "scripts/lab.sh");
}

std::vector<Host> ReadHosts() {
    std::ifstream in(
        EnvOr("KORVANE_LAB_HOSTS", std::string(KORVANE_SOURCE_DIR) + "scripts/lab-hosts.txt"));
    std::vector<Host> hosts;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        Host h;
        std::string options;
        if (!(fields >> h.id >> h.address >> h.mac >> h.netbiosName >> h.workgroup >>
              h.reverseName))
            continue;
        fields >> options;
        if (h.netbiosName == "-") h.netbiosName.clear();
        if (h.reverseName == "-") h.reverseName.clear();
        const std::string all = "," + options + ",";
        h.nmbd = all.find(",nmbd,") != std::string::npos;
        h.dnsOnly = all.find(",dns,") != std::string::npos;
        hosts.push_back(h);
    }
    return hosts;
}

}  // namespace

const std::vector<Host>& Hosts() {
    static const std::vector<Host> hosts = ReadHosts();
    return hosts;
}

std::string Run(const std::string& commandLine, bool mustSucceed) {
    std::string output;
    FILE* pipe = popen(commandLine.c_str(), "r");
    if (!pipe) {
        ADD_FAILURE() << "cannot run: " << commandLine;
        return output;
    }
    std::array<char, 4096> buffer{};
    std::size_t n = 0;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), n);
    const int status = pclose(pipe);
    if (mustSucceed && !(WIFEXITED(status) && WEXITSTATUS(status) == 0))
        ADD_FAILURE() << "command failed (" << status << "): " << commandLine;
    return output;
}

void Sleep(const Host& host) {
    Run(LabScript() + " sleep " + host.id);
}
void Wake(const Host& host) {
    Run(LabScript() + " wake " + host.id);
}
bool IsAsleep(const Host& host) {
    return Run(LabScript() + " asleep " + host.id) == "1\n";
}

std::string BinPath(const std::string& program) {
    return EnvOr("KORVANE_BIN_DIR", KORVANE_BIN_DIR) + program;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    if (!out.flush()) ADD_FAILURE() << "cannot write " << path;
}

ScopedSetting::ScopedSetting(std::string path, const std::string& value)
    : path_(std::move(path)), old_(ReadFile(path_)) {
    WriteFile(path_, value);
}

ScopedSetting::~ScopedSetting() {
    WriteFile(path_, old_);
}

}  // namespace lab

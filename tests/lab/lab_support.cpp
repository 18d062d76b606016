#include "lab_support.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
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

// The lab's own copy of the admin's resolv.conf, which `ip netns exec` shows
// as /etc/resolv.conf: written in place, never the machine's file.
ScopedSilentDns::ScopedSilentDns() : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(53);
    inet_pton(AF_INET, "127.0.0.2", &address.sin_addr);
    if (bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ADD_FAILURE() << "cannot take 127.0.0.2:53";
    }
    const std::string lab = EnvOr("KORVANE_LAB", "");
    const std::string path = "/etc/netns/" + lab + "-admin/resolv.conf";
    if (lab.empty() || !std::ifstream(path)) {
        ADD_FAILURE() << "no lab resolver at " << path;
        return;
    }
    resolver_ = std::make_unique<ScopedSetting>(path, "nameserver 127.0.0.2\n");
}

ScopedSilentDns::~ScopedSilentDns() {
    resolver_.reset();
    close(fd_);
}

}  // namespace lab

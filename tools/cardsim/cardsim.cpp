// cardsim: a simulated reboot controller card and modem for Wine.
//
//   cardsim --prefix WINEPREFIX --card N [--modem M] --dir STATE [--reset record|power-cut]
//
// It opens a pseudo-terminal per device and links it into the Wine prefix as
// dosdevices/comN, so mrwd.exe opens a real \\.\COMN. Everything it receives
// goes to STATE/traffic.log, one line per byte with a time stamp, plus a line
// per complete command and per reset. It is steered while it runs by lines
// appended to STATE/control:
//   card fault NAME | modem fault NAME   (none silent slow lowercase embedded long-line echo)
//   modem hang on|off                    (a hung modem answers nothing until the card resets it)
//   card chatter on|off | modem chatter on|off
//                                        (a "CHATTER" line every 250 ms, unprompted; the device
//                                         still answers as its fault says: "fault silent" too for
//                                         a device that only chatters)
//   card held on|off | modem held on|off (the port cannot be opened, as if another program had it)
//   reset record|power-cut               (power-cut ends every process of the prefix)
//   quit
// STATE/ready appears once the ports are linked. SIGTERM removes the links.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "device_model.h"

namespace {

using mrwd::cardsim::CardDevice;
using mrwd::cardsim::LineDevice;
using mrwd::cardsim::ModemDevice;
using mrwd::cardsim::Output;

volatile sig_atomic_t stopRequested = 0;

std::uint64_t NowMs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::string Stamp() {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    tm local;
    localtime_r(&now.tv_sec, &local);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03ld", local.tm_hour, local.tm_min, local.tm_sec,
                  now.tv_nsec / 1000000);
    return text;
}

class TrafficLog {
public:
    explicit TrafficLog(const std::string& path) : file_(std::fopen(path.c_str(), "a")) {}
    ~TrafficLog() {
        if (file_ != nullptr) std::fclose(file_);
    }
    void Line(const std::string& text) {
        if (file_ == nullptr) return;
        std::fprintf(file_, "%s %s\n", Stamp().c_str(), text.c_str());
        std::fflush(file_);
    }

private:
    FILE* file_;
};

std::string Printable(char byte) {
    char text[16];
    const unsigned char c = static_cast<unsigned char>(byte);
    if (c >= 0x20 && c < 0x7F) {
        std::snprintf(text, sizeof text, "'%c' 0x%02x", c, c);
    } else {
        std::snprintf(text, sizeof text, "0x%02x", c);
    }
    return text;
}

// One simulated device on one pseudo-terminal, linked as a COM port.
struct Port {
    Port(std::string portRole, int portNumber, LineDevice* portDevice)
        : role(std::move(portRole)), number(portNumber), device(portDevice) {}

    std::string role;  // "card" or "modem"
    int number = 0;
    LineDevice* device = nullptr;
    int master = -1;
    int slave = -1;  // kept open so the master never sees a hang-up between openings
    std::string slavePath;
    std::string linkPath;
    std::vector<Output> pending;

    bool Open(const std::string& prefix) {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return false;
        slavePath = ptsname(master);
        slave = open(slavePath.c_str(), O_RDWR | O_NOCTTY);
        if (slave < 0) return false;
        termios raw;
        tcgetattr(slave, &raw);
        cfmakeraw(&raw);
        cfsetispeed(&raw, B2400);
        cfsetospeed(&raw, B2400);
        tcsetattr(slave, TCSANOW, &raw);
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        linkPath = prefix + "/dosdevices/com" + std::to_string(number);
        return Link(slavePath);
    }
    bool Link(const std::string& target) const {
        unlink(linkPath.c_str());
        return symlink(target.c_str(), linkPath.c_str()) == 0;
    }
    void Unlink() const {
        char target[512] = {};
        if (readlink(linkPath.c_str(), target, sizeof target - 1) > 0) unlink(linkPath.c_str());
    }
};

struct Options {
    std::string prefix;
    std::string dir;
    int card = 0;
    int modem = 0;
    bool powerCut = false;
};

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--prefix") o.prefix = value;
        else if (name == "--dir") o.dir = value;
        else if (name == "--card") o.card = std::atoi(value.c_str());
        else if (name == "--modem") o.modem = std::atoi(value.c_str());
        else if (name == "--reset") o.powerCut = value == "power-cut";
        else return false;
    }
    return !o.prefix.empty() && !o.dir.empty() && o.card > 0;
}

// Ends every process of the prefix, as a reset ends every program of a computer.
void PowerCut(const std::string& prefix) {
    const pid_t child = fork();
    if (child == 0) {
        setenv("WINEPREFIX", prefix.c_str(), 1);
        execlp("wineserver", "wineserver", "-k", static_cast<char*>(nullptr));
        execl("/usr/lib/wine/wineserver64", "wineserver64", "-k", static_cast<char*>(nullptr));
        _exit(127);
    }
    if (child > 0) waitpid(child, nullptr, 0);
}

class Simulator {
public:
    Simulator(const Options& options) : options_(options), log_(options.dir + "/traffic.log"), card_(&modem_) {}

    int Run() {
        ports_.emplace_back("card", options_.card, &card_);
        if (options_.modem > 0) ports_.emplace_back("modem", options_.modem, &modem_);
        mkdir((options_.dir + "/held").c_str(), 0755);
        for (Port& port : ports_) {
            if (!port.Open(options_.prefix)) {
                std::fprintf(stderr, "cardsim: cannot set up COM%d: %s\n", port.number, std::strerror(errno));
                return 1;
            }
            log_.Line(port.role + " on COM" + std::to_string(port.number) + " = " + port.slavePath);
        }
        std::ofstream(options_.dir + "/ready") << "ready\n";

        while (stopRequested == 0 && !quit_) {
            Poll();
            const std::uint64_t now = NowMs();
            for (Port& port : ports_) {
                for (const Output& out : port.device->Unprompted(now)) port.pending.push_back(out);
            }
            SendDue(now);
            std::string why;
            if (card_.ResetDue(now, why)) Reset(why);
            ReadControl();
        }
        for (const Port& port : ports_) port.Unlink();
        log_.Line("stopped");
        return 0;
    }

private:
    void Poll() {
        std::vector<pollfd> fds;
        for (const Port& port : ports_) fds.push_back(pollfd{port.master, POLLIN, 0});
        poll(fds.data(), fds.size(), 10);
        for (size_t i = 0; i < fds.size(); ++i) {
            if ((fds[i].revents & POLLIN) == 0) continue;
            char bytes[256];
            const ssize_t n = read(ports_[i].master, bytes, sizeof bytes);
            for (ssize_t k = 0; k < n; ++k) Received(ports_[i], bytes[k]);
        }
    }

    void Received(Port& port, char byte) {
        log_.Line(port.role + " < " + Printable(byte));
        const size_t before = port.device->commands.size();
        for (Output& out : port.device->Receive(byte, NowMs())) port.pending.push_back(out);
        if (port.device->commands.size() != before) log_.Line(port.role + " command " + port.device->commands.back());
    }

    void SendDue(std::uint64_t now) {
        for (Port& port : ports_) {
            std::vector<Output> later;
            for (const Output& out : port.pending) {
                if (out.atMs > now) {
                    later.push_back(out);
                    continue;
                }
                if (write(port.master, out.bytes.data(), out.bytes.size()) < 0) continue;
                std::string shown = out.bytes;
                while (!shown.empty() && (shown.back() == '\r' || shown.back() == '\n')) shown.pop_back();
                if (!shown.empty()) log_.Line(port.role + " > " + shown);
            }
            port.pending.swap(later);
        }
    }

    void Reset(const std::string& why) {
        log_.Line("card reset: " + why);
        if (options_.powerCut) {
            log_.Line("power cut: ending every process of the prefix");
            PowerCut(options_.prefix);
        }
    }

    void ReadControl() {
        std::ifstream control(options_.dir + "/control");
        if (!control) return;
        control.seekg(static_cast<std::streamoff>(controlRead_));
        std::string line;
        while (std::getline(control, line)) {
            if (control.eof()) break;  // an unfinished line: read it whole next time
            controlRead_ += line.size() + 1;
            Apply(line);
        }
    }

    Port* Find(const std::string& role) {
        for (Port& port : ports_) {
            if (port.role == role) return &port;
        }
        return nullptr;
    }

    LineDevice* DeviceOf(const std::string& role) {
        if (role == "card") return &card_;
        if (role == "modem") return &modem_;
        return nullptr;
    }

    void Apply(const std::string& line) {
        std::istringstream words(line);
        std::string who, what, value;
        words >> who >> what >> value;
        log_.Line("control: " + line);
        if (who == "quit") {
            quit_ = true;
        } else if (who == "reset") {
            options_.powerCut = what == "power-cut";
        } else if (what == "fault") {
            mrwd::cardsim::Fault fault;
            LineDevice* device = DeviceOf(who);
            if (device != nullptr && mrwd::cardsim::ParseFault(value, fault)) device->fault = fault;
        } else if (what == "chatter") {
            LineDevice* device = DeviceOf(who);
            if (device != nullptr) device->chatter = value == "on";
        } else if (who == "modem" && what == "hang") {
            modem_.hung = value == "on";
        } else if (what == "held") {
            Port* port = Find(who);
            if (port != nullptr) port->Link(value == "on" ? options_.dir + "/held" : port->slavePath);
        }
    }

    Options options_;
    TrafficLog log_;
    ModemDevice modem_;
    CardDevice card_;
    std::vector<Port> ports_;
    std::size_t controlRead_ = 0;
    bool quit_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: cardsim --prefix WINEPREFIX --card N [--modem M] --dir STATE [--reset record|power-cut]\n");
        return 2;
    }
    struct sigaction stop = {};
    stop.sa_handler = [](int) { stopRequested = 1; };
    sigaction(SIGTERM, &stop, nullptr);
    sigaction(SIGINT, &stop, nullptr);
    return Simulator(options).Run();
}

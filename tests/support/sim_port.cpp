#include "support/sim_port.h"

#include <memory>

#include "channel/monitor.h"

namespace morvik::test {

SimPort::SimPort(platform::EventLoop& loop) : loop_(loop) {}

SimPort::~SimPort() = default;

void SimPort::Note(std::string_view event) {
    transcript_.push_back(std::to_string(loop_.NowMs()) + " " + channel::MonitorText(event));
}

void SimPort::RequireOpen() const {
    if (!open_) throw channel::PortError(-2007, "device not open");
}

void SimPort::Open() {
    if (open_) return;
    if (openFailure_) {
        const channel::PortError failure = *openFailure_;
        openFailure_.reset();
        Note("open failed");
        throw failure;
    }
    open_ = true;
    Note(dtr_ ? "open" : "open dtr off");
    if (module_) module_->PortOpened();
}

void SimPort::Close() {
    if (!open_) return;
    open_ = false;
    pending_.clear();
    Note("close");
    if (module_) module_->PortClosed();
}

void SimPort::SetDtr(bool on) {
    if (dtr_ == on) return;
    dtr_ = on;
    if (!open_) return;
    Note(on ? "dtr on" : "dtr off");
    if (module_) module_->DtrChanged(on);
}

void SimPort::WriteText(std::string_view text) {
    RequireOpen();
    Note("write " + std::string(text));
    writes_.emplace_back(text);
    if (module_) module_->BytesFromProgram(text);
}

void SimPort::FlushInput() {
    RequireOpen();
    pending_.clear();
}

void SimPort::FlushOutput() { RequireOpen(); }

void SimPort::SetDeviceLayer(channel::DeviceLayer layer) {
    if (!open_) layer_ = layer;
}

void SimPort::SetWsAddress(const std::string& address) {
    if (open_) throw channel::PortError(9006, "Cannot change parameter while socket is connected");
    wsAddress_ = address;
}

void SimPort::SetWsPort(const std::string& port) {
    if (open_) throw channel::PortError(9006, "Cannot change parameter while socket is connected");
    wsPort_ = port;
}

std::vector<std::string> SimPort::TakeWrites() { return std::exchange(writes_, {}); }

void SimPort::BytesFromModule(std::string_view bytes) {
    if (!open_) return;  // nobody listens on a closed port
    pending_.append(bytes);
    if (deliveryPosted_) return;
    deliveryPosted_ = true;
    loop_.Post([this, alive = std::weak_ptr<bool>(alive_)] {
        if (alive.lock()) Deliver();
    });
}

void SimPort::Deliver() {
    deliveryPosted_ = false;
    std::vector<std::string> lines;
    for (std::size_t end; (end = pending_.find("\r\n")) != std::string::npos;) {
        lines.push_back(pending_.substr(0, end));
        pending_.erase(0, end + 2);
    }
    for (const std::string& line : lines) {
        Note("line " + line);
        EmitLine(line);
    }
}

void SimPort::DeliverLines(std::vector<std::string> lines) {
    loop_.Post([this, alive = std::weak_ptr<bool>(alive_), lines = std::move(lines)] {
        if (!alive.lock()) return;
        for (const std::string& line : lines) {
            Note("line " + line);
            EmitLine(line);
        }
    });
}

}  // namespace morvik::test

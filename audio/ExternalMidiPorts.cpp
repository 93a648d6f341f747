// SPDX-License-Identifier: GPL-3.0-or-later
// Copyright (C) 2026 The Marulet developers

#include "audio/ExternalMidiPorts.h"

#include "audio/JackMidiClient.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <RtMidi.h>
#include <algorithm>
#include <exception>
#include <unistd.h>

namespace {
constexpr const char* kClientName = "Marulet";
// An ALSA port's name is looked up again at most this often while it plays,
// to tell that its device is gone: the sequencer drops the connection quietly.
constexpr auto kLookAgain = std::chrono::seconds(1);

const char* const kOwnPortName = QT_TRANSLATE_NOOP("ExternalMidiPorts", "Marulet (仮想ポート)");

// With a callback installed RtMidi reports here instead of printing or
// throwing; the text marks the last call as failed.
void onRtMidiError(RtMidiError::Type, const std::string& text, void* data) {
    *static_cast<std::string*>(data) = text.empty() ? std::string("RtMidi error") : text;
}

bool alsaCompiledIn() {
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    return std::find(apis.begin(), apis.end(), RtMidi::LINUX_ALSA) != apis.end();
}

// The ALSA sequencer numbers a port "client:port" at its name's end, anew
// each time a device is plugged in.
QString withoutAddress(const std::string& name) {
    static const QRegularExpression address(QStringLiteral(" \\d+:\\d+$"));
    return QString::fromStdString(name).remove(address);
}
} // namespace

struct ExternalMidiPorts::OpenPort {
    Kind kind = Kind::Alsa;
    std::unique_ptr<RtMidiOut> alsa;
    std::string error;    // set by RtMidi's error callback; empty while all is well
    std::string alsaPort; // the ALSA port it is connected to
    std::chrono::steady_clock::time_point lastLook;
    std::optional<JackMidiClient::Port> jack;
};

ExternalMidiPorts::ExternalMidiPorts() : m_jack(std::make_unique<JackMidiClient>()) {}

ExternalMidiPorts::~ExternalMidiPorts() {
    while (!m_open.empty())
        close(m_open.begin()->first);
}

// Only ALSA by name: RtMidi's JACK side opens ports on a server that is not
// there (it crashed), so JACK is reached through JackMidiClient. Without a
// sequencer device RtMidi prints and throws: look for the device first.
std::unique_ptr<RtMidiOut> ExternalMidiPorts::alsaOutput(std::string* errorSink) {
    if (!alsaCompiledIn() || ::access("/dev/snd/seq", R_OK | W_OK) != 0) return nullptr;
    try {
        auto out = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, kClientName);
        out->setErrorCallback(&onRtMidiError, errorSink);
        return out;
    } catch (const std::exception&) {
        return nullptr;
    }
}

std::vector<std::string> ExternalMidiPorts::alsaPorts() {
    if (!m_alsaLister) m_alsaLister = alsaOutput(&m_listerError);
    if (!m_alsaLister) return {};
    std::vector<std::string> names;
    try {
        m_listerError.clear();
        const unsigned count = m_alsaLister->getPortCount();
        if (!m_listerError.empty()) return {};
        for (unsigned i = 0; i < count; ++i) {
            m_listerError.clear();
            std::string name = m_alsaLister->getPortName(i);
            // An unreadable name keeps its place, so later indexes stay right.
            names.push_back(m_listerError.empty() ? std::move(name) : std::string());
        }
    } catch (const std::exception&) {
        return {};
    }
    return names;
}

unsigned ExternalMidiPorts::refresh() {
    m_list.clear();
    for (std::string& port : alsaPorts())
        m_list.push_back({Kind::Alsa, std::move(port)});
    const auto jackPorts = m_jack->inputPorts();
    if (jackPorts)
        for (const std::string& port : *jackPorts)
            m_list.push_back({Kind::Jack, port});
    if (m_alsaLister || jackPorts) m_list.push_back({Kind::Own, std::string()});
    m_listed = true;
    return static_cast<unsigned>(m_list.size());
}

const ExternalMidiPorts::Entry* ExternalMidiPorts::entry(unsigned index) {
    if (!m_listed) refresh();
    return index < m_list.size() ? &m_list[index] : nullptr;
}

std::optional<QString> ExternalMidiPorts::name(unsigned index) {
    const Entry* found = entry(index);
    if (!found) return std::nullopt;
    switch (found->kind) {
    case Kind::Own:
        return QCoreApplication::translate("ExternalMidiPorts", kOwnPortName);
    case Kind::Jack:
        return QString::fromStdString(found->port) + QStringLiteral(" (JACK)");
    case Kind::Alsa:
        break;
    }
    if (found->port.empty()) return std::nullopt;
    return QString::fromStdString(found->port);
}

std::optional<QString> ExternalMidiPorts::key(unsigned index) {
    const Entry* found = entry(index);
    if (!found) return std::nullopt;
    switch (found->kind) {
    case Kind::Own:
        return QString::fromLatin1(kOwnPortKey);
    case Kind::Jack:
        return name(index);
    case Kind::Alsa:
        break;
    }
    if (found->port.empty()) return std::nullopt;
    return withoutAddress(found->port);
}

std::optional<ExternalMidiPorts::Handle> ExternalMidiPorts::open(unsigned index) {
    const Entry* found = entry(index);
    if (!found) return std::nullopt;
    auto open = std::make_unique<OpenPort>();
    open->kind = found->kind;
    try {
        switch (found->kind) {
        case Kind::Alsa: {
            if (found->port.empty()) return std::nullopt;
            open->alsa = alsaOutput(&open->error);
            if (!open->alsa) return std::nullopt;
            // The list may be older than the sequencer's: open the port by its name.
            unsigned at = 0;
            const unsigned count = open->alsa->getPortCount();
            while (at < count && open->alsa->getPortName(at) != found->port)
                ++at;
            if (at == count) return std::nullopt;
            open->error.clear();
            open->alsa->openPort(at, kClientName);
            if (!open->error.empty() || !open->alsa->isPortOpen()) return std::nullopt;
            open->alsaPort = found->port;
            open->lastLook = std::chrono::steady_clock::now();
            break;
        }
        case Kind::Jack:
            open->jack = m_jack->openOutput(found->port);
            if (!open->jack) return std::nullopt;
            break;
        case Kind::Own:
            open->alsa = alsaOutput(&open->error);
            if (open->alsa) {
                open->alsa->openVirtualPort(kClientName);
                if (!open->error.empty()) open->alsa.reset();
            }
            open->jack = m_jack->openOwnPort();
            if (!open->alsa && !open->jack) return std::nullopt;
            break;
        }
    } catch (const std::exception&) {
        return std::nullopt;
    }
    const Handle handle = m_next++;
    m_open.emplace(handle, std::move(open));
    return handle;
}

bool ExternalMidiPorts::alsaPortThere(OpenPort& open) {
    const auto now = std::chrono::steady_clock::now();
    if (now - open.lastLook < kLookAgain) return true;
    open.lastLook = now;
    const std::vector<std::string> ports = alsaPorts();
    return std::find(ports.begin(), ports.end(), open.alsaPort) != ports.end();
}

ExternalMidiPorts::Sent ExternalMidiPorts::send(Handle handle, const unsigned char* bytes,
                                                std::size_t length) {
    const auto found = m_open.find(handle);
    if (found == m_open.end()) return Sent::Failed;
    OpenPort& open = *found->second;

    std::optional<Sent> alsa;
    if (open.alsa) {
        if (open.kind == Kind::Alsa && !alsaPortThere(open)) {
            alsa = Sent::Gone;
        } else {
            try {
                open.error.clear();
                open.alsa->sendMessage(bytes, length);
                alsa = open.error.empty() ? Sent::Done : Sent::Failed;
            } catch (const std::exception&) {
                alsa = Sent::Failed;
            }
        }
    }
    std::optional<Sent> jack;
    if (open.jack) {
        switch (m_jack->send(*open.jack, bytes, length)) {
        case JackMidiClient::Sent::Queued:
            jack = Sent::Done;
            break;
        case JackMidiClient::Sent::Full:
            jack = Sent::Failed;
            break;
        case JackMidiClient::Sent::Gone:
            jack = Sent::Gone;
            break;
        }
    }
    // The own port is open on both systems where both are there: it is gone
    // only when it is gone from both.
    if (alsa == Sent::Done || jack == Sent::Done) return Sent::Done;
    if (alsa.value_or(Sent::Gone) == Sent::Gone && jack.value_or(Sent::Gone) == Sent::Gone)
        return Sent::Gone;
    return Sent::Failed;
}

void ExternalMidiPorts::close(Handle handle) {
    const auto found = m_open.find(handle);
    if (found == m_open.end()) return;
    OpenPort& open = *found->second;
    if (open.alsa) {
        try {
            open.alsa->closePort();
        } catch (const std::exception&) {
            // The port is released with its object below either way.
        }
    }
    if (open.jack) m_jack->close(*open.jack);
    m_open.erase(found);
}

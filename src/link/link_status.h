#pragma once
// What the status line says about the link: its state, the frames received
// since it was opened, the frames of the last second, and how long nothing has
// come. Times are milliseconds of the caller's clock (the window gives its
// log clock, tests a clock of their own); nothing here reads a clock.
//
// Threads: one thread (the window's). A reception thread that loses its link
// hands the news to that thread first.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace varno::link {

class LinkStatus {
public:
    enum class State { Closed, Open, Lost };

    // A frame-free stretch this long while open is shown.
    static constexpr std::int64_t kSilenceMs = 5000;

    // The link was opened: "Ouvert : /dev/ttyUSB0, 115200 bauds", or
    // "Connecté à 127.0.0.1:10001". The counts start again from zero.
    void serialOpened(const std::string& device, std::uint32_t baudRate, std::int64_t nowMs);
    void tcpConnected(const std::string& hostAndPort, std::int64_t nowMs);
    // The peer or the device went away while open ("Liaison perdue").
    void lost();
    // The operator closed the link ("Fermé").
    void closed();

    // Counts a frame handled while open; frames of a closed or lost link
    // (still queued when it ended) are not counted.
    void frameReceived(std::int64_t nowMs);

    State state() const { return m_state; }
    std::uint64_t framesSinceOpening() const { return m_frames; }
    // Frames received within the last second: the ten whole tenths of a
    // second before the current one.
    std::uint32_t framesPerSecond(std::int64_t nowMs) const;
    // Whole seconds without a frame (since the last one, or since the opening)
    // once they reach kSilenceMs, while open; nothing otherwise.
    std::optional<std::int64_t> silentSeconds(std::int64_t nowMs) const;

    // The link's part of the status line, UTF-8:
    // "Fermé"
    // "Ouvert : /dev/ttyUSB0, 115200 bauds · 1234 trames · 820 trames/s"
    // "Connecté à 127.0.0.1:10001 · 1234 trames · aucune trame depuis 12 s"
    // "Liaison perdue · 1234 trames"
    std::string text(std::int64_t nowMs) const;

private:
    void opened(std::string description, std::int64_t nowMs);
    // Moves the tenths of a second on to `tenth`.
    void advance(std::int64_t tenth);
    static std::size_t slot(std::int64_t tenth);

    State m_state = State::Closed;
    std::string m_description;  // what was opened
    std::uint64_t m_frames = 0;
    std::int64_t m_lastFrameMs = 0;  // the last frame, or the opening
    // Frames per tenth of a second: m_tenths[slot(t)] counts tenth t, for
    // the current tenth and the ten before it.
    static constexpr std::int64_t kTenths = 11;
    std::array<std::uint32_t, kTenths> m_tenths{};
    std::int64_t m_currentTenth = 0;
};

}  // namespace varno::link

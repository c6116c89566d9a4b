#pragma once
// A reader at 115200 baud sends a frame every 1.2 ms. Read as it comes, each
// frame would wake the receiving thread and, through it, the window: on a
// virtual machine those wake-ups cost more than the frames' own work. So once
// a slow stream's queue is emptied, the receiving thread rests a moment and
// takes the next frames together; each frame is then handed over at most one
// rest late (the log's millisecond times follow the same batches). A fast
// stream is read without rests, since a device's own buffer (4 KB for a
// terminal) could not hold a rest's worth of it.

#include <cstddef>

namespace varno::link {

inline constexpr int kReceiveRestMs = 20;
// A queue drained of fewer bytes than this since the last rest means a slow stream.
inline constexpr std::size_t kRestBelowBytes = 1024;

// Called when the queue has been emptied, `bytes` having come since the last
// rest. Rests when the stream is slow. Returns false, at once, when `stopFd`
// becomes readable (the link is asked to stop); true otherwise.
bool restAfterDrain(std::size_t bytes, int stopFd);

}  // namespace varno::link

#pragma once
// The one blocking pause of the program (the waits between the steps of opening
// and closing a link). Tests may shorten every pause at once.

namespace varno::link {

void pause(int milliseconds);

// Every pause lasts milliseconds × scale (1.0 by default; 0 makes pauses instant).
void setPauseScale(double scale);
double pauseScale();

}  // namespace varno::link

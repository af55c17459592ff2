#pragma once

// True when the first two characters are "hp" in any ASCII letter case. Null-safe.
bool IsHardpointName(const char* name);

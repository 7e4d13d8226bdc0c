#pragma once

#include <functional>
#include <string>

// Plays a sound file without waiting (the change sound, program directory +
// "ding.wav"); a missing or unreadable file plays nothing. GUI thread.
void PlayNotifySound(const std::string& localPath);

// Tests see every sound that is actually started (after the file check)
// instead of hearing it; an empty hook plays again.
void SetNotifySoundHook(std::function<void(const std::string& localPath)> hook);

// The wait for the second step of a two-step key: after the first step the
// keys that can follow are registered for a moment, and a hint lists them.
#pragma once

#include <windows.h>

// The main window's timer that ends the wait; never a name window's handle.
constexpr UINT_PTR kSecondKeyTimer = 1;
// Starts again at each step.
constexpr UINT kSecondKeyWaitMs = 3000;

// After the first step `modifiers` + `vk`: registers, for the wait, every
// second key that a task with that first step applying to the program in
// front follows with, and Esc; shows the hint. A wait already running ends
// first. False, and nothing started, when no task follows the key.
bool BeginSecondKeyWait(UINT modifiers, UINT vk);
bool SecondKeyWaiting();
// A hotkey during the wait: posts WM_RUNTASK for each task it is the second
// key of, those whose own modifiers are exactly the key's first. The wait
// ends whatever the key. False when it was no task's.
bool TakeSecondKey(UINT modifiers, UINT vk);
// Whether the hotkey is the first step still held since it began the wait.
bool FirstStepRepeats(UINT modifiers, UINT vk);
// Releases every second-step key, hides the hint, and gives the tasks' own
// keys another try.
void EndSecondKeyWait();
// WM_INPUT during the wait: a key no task follows with ends it; the first
// step's key let go is noted.
void SecondKeyOnInput(HRAWINPUT input);

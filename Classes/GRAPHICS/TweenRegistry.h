#pragma once
// The process-wide tween registry: owns every registered tween under an id.
// Tweens may register, stop or finish tweens (and clear the registry) from inside
// their updates: registrations made during a pass are first updated by the next pass,
// and nothing is deleted while a tween of the registry is running.
#include <cstdint>

#include "GRAPHICS/ITween.h"
#include "GRAPHICS/TTween.h"

namespace kestrin {

// Takes ownership; returns the new id (ids are never reused within a run).
int32_t RegisterTween(ITween* tween);
bool IsTweenRegistered(int32_t id);
// The registered tween if it is an integer tween; null otherwise (also for a queue).
TTween<int32_t>* FindIntTween(int32_t id);
void StopTween(int32_t id);
void FinishTween(int32_t id);
// The per-frame pass: updates every tween and deletes those that finished.
void UpdateTweens(uint32_t now);
// Deletes every tween without stopping or finishing it; called at shutdown.
void ClearTweenRegistry();

}  // namespace kestrin

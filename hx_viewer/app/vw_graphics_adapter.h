#pragma once

// Set at start-up when the machine has one of the old integrated chipsets whose
// OpenGL drivers cannot be trusted; the player then keeps to the plain widget
// renderer.
extern bool legacyGraphicsAdapter;

// Enumerates the display adapters; true (and legacyGraphicsAdapter set) when
// one of them is a legacy chipset.
bool isLegacyGraphicsAdapter();

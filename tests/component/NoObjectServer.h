#pragma once

#include "ComBase.h"

// The class NoObjectServer's factory "creates" without an object.
inline constexpr component::CLSID kNoObjectClass
    = { 0x5E1F0B1C, 0x7A2D, 0x4C3E, { 0x9F, 0x40, 0x51, 0x62, 0x73, 0x84, 0x95, 0xA6 } };
// The class it gives no class factory at all.
inline constexpr component::CLSID kNoFactoryClass
    = { 0x5E1F0B1D, 0x7A2D, 0x4C3E, { 0x9F, 0x40, 0x51, 0x62, 0x73, 0x84, 0x95, 0xA6 } };
// Any other class is created, but its objects answer "no interface" with success.

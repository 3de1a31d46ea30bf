// Command and reply codes of the frame protocol.
#pragma once

#include <cstdint>

namespace tq::cmd {

inline constexpr std::uint8_t kHello = 0x01;            // first contact; 0x07 (2, 1) or 0x08
inline constexpr std::uint8_t kVersion = 0x04;          // 0x08: model, major, minor
inline constexpr std::uint8_t kReadShort = 0x05;        // address - 512, length
inline constexpr std::uint8_t kWriteShort = 0x06;       // address - 512, length, data
inline constexpr std::uint8_t kSignals = 0x08;          // 0x00; reply 0x09 with 96 bits
inline constexpr std::uint8_t kStored = 0x09;           // after a verified store
inline constexpr std::uint8_t kEnterBootloader = 0x10;
inline constexpr std::uint8_t kReadLong = 0x11;         // address high, low, length
inline constexpr std::uint8_t kWriteLong = 0x12;        // address high, low, length, data
inline constexpr std::uint8_t kListingEnd = 0x56;
inline constexpr std::uint8_t kListingRecord = 0x57;
inline constexpr std::uint8_t kForwardData = 0x66;
inline constexpr std::uint8_t kOneWireList = 0x80;
inline constexpr std::uint8_t kRadioMonitorPoll = 0x82;
inline constexpr std::uint8_t kRadioAccess = 0x85;
inline constexpr std::uint8_t kBridgeWrite = 0x86;
inline constexpr std::uint8_t kBridgeRead = 0x87;
inline constexpr std::uint8_t kRadioAccessEnd = 0x8C;
inline constexpr std::uint8_t kAuxCommand = 0x8D;
inline constexpr std::uint8_t kAuxStatus = 0x8E;
inline constexpr std::uint8_t kCutoffVoltages = 0xA5;
inline constexpr std::uint8_t kCutoffSwitchA = 0xA6;
inline constexpr std::uint8_t kCutoffSwitchB = 0xA7;
inline constexpr std::uint8_t kCutoffOutputTest = 0xA8;
inline constexpr std::uint8_t kModuleStatus = 0xA9;
inline constexpr std::uint8_t kCutoffKeepTest = 0xAC;
inline constexpr std::uint8_t kHardwareType = 0xF4;
inline constexpr std::uint8_t kSerialNumber = 0xF6;
inline constexpr std::uint8_t kReset = 0xFA;
inline constexpr std::uint8_t kApplyModules = 0xFC;

} // namespace tq::cmd

namespace tq::reply {

inline constexpr std::uint8_t kData = 0x01;
inline constexpr std::uint8_t kBlock = 0x06;
inline constexpr std::uint8_t kStatus = 0x07;
inline constexpr std::uint8_t kVersion = 0x08;
inline constexpr std::uint8_t kSignals = 0x09;
inline constexpr std::uint8_t kDiagnostics = 0x0F;
inline constexpr std::uint8_t kAuxStatus = 0x8E;
inline constexpr std::uint8_t kText = 0xFF;

} // namespace tq::reply

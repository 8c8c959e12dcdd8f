// What passes through the raw drive of a 7100VRX camera: the three sectors, the command blocks,
// the half-frame tags, the model's identity and its register map. The device classes speak this
// protocol and the camera emulator answers it, so both include this one header (constants only,
// no code), which lives here because platform is the one module both of them may use.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ostrel::platform::camera {

// Byte offsets on the camera's drive; every transfer is a whole number of sectors.
inline constexpr std::uint32_t kSectorSize = 512;
inline constexpr std::uint64_t kStatusSectorOffset = 0x20000;   // read: status
inline constexpr std::uint64_t kCommandSectorOffset = 0x20200;  // write: one command block
inline constexpr std::uint64_t kDataWindowOffset = 0x20400;     // read: image data

// Status sector layout. Only the first kIdentificationCompared bytes of the text are compared,
// so any version suffix is accepted.
inline constexpr std::string_view kIdentificationText = "NEMBRA USB 3.0 Camera V1.0";
inline constexpr std::size_t kIdentificationCompared = 21;  // "NEMBRA USB 3.0 Camera"
inline constexpr std::size_t kModelIdOffset = 26;           // two model identification bytes
inline constexpr std::size_t kReadyFlagOffset = 256;
inline constexpr std::uint8_t kReadyFlagSet = 1;
inline constexpr std::size_t kRegisterValueOffset = 257;  // byte register named by the last read

// Command blocks: opcode in byte 0, then three argument bytes, high byte first; the rest of the
// sector is zero.
inline constexpr std::uint8_t kOpcodeStart = 0x10;
inline constexpr std::uint8_t kOpcodeWrite = 0x20;
inline constexpr std::uint8_t kOpcodeRead = 0x21;
// Byte 1 of a word register write: which of its two steps the block is.
inline constexpr std::uint8_t kWordWriteAddressStep = 0x00;
inline constexpr std::uint8_t kWordWriteValueStep = 0x01;

// Half-frame tags: byte 0 of every half-frame transfer (and the first image byte of its half).
// The low four bits say which half it is, the high four bits count frames (0..15).
inline constexpr std::uint8_t kFirstHalfMark = 0x0;
inline constexpr std::uint8_t kSecondHalfMark = 0xF;
constexpr std::uint8_t halfTag(std::uint32_t frame, bool secondHalf) {
    return static_cast<std::uint8_t>(((frame & 0xFu) << 4) |
                                     (secondHalf ? kSecondHalfMark : kFirstHalfMark));
}

// The 7100VRX: how discovery and probing recognise it. Its sensor and the ranges the registers
// below give are in camera_facts.h.
inline constexpr std::string_view kModelText = "7100VRX";
inline constexpr std::uint8_t kModelId0 = 0xC0;
inline constexpr std::uint8_t kModelId1 = 0x06;

// Camera registers (16-bit addresses, 16-bit values, written with the two-step word write).
enum class Register {
    ReadoutUpdate,       // 0 while the readout registers change, 1 applies them
    ReadoutSingleSided,  // 0: rows read from both ends at once (two-sided), 1: one side
    ReadoutSubsample,    // 0: full frame, 1: every other 2 x 2 cell in both directions
    GainUpdate,          // 1 before every gain value: the camera takes Gain only while it is 1
    Gain,                // analog gain, 100 = 1.0
    Exposure,            // exposure register: larger values give shorter exposures
};

struct RegisterInfo {
    Register id;
    std::uint16_t address;
    std::uint16_t resetValue;  // after power-up
    std::uint16_t minimum;     // what the camera can use; it clamps other values
    std::uint16_t maximum;
    std::string_view name;
};

inline constexpr std::array<RegisterInfo, 6> kRegisterMap = {{
    {Register::ReadoutUpdate, 0x3000, 1, 0, 1, "ReadoutUpdate"},
    {Register::ReadoutSingleSided, 0x3001, 0, 0, 1, "ReadoutSingleSided"},
    {Register::ReadoutSubsample, 0x3002, 0, 0, 1, "ReadoutSubsample"},
    {Register::GainUpdate, 0x3003, 0, 0, 1, "GainUpdate"},
    {Register::Gain, 0x0005, 100, 0, 1023, "Gain"},
    {Register::Exposure, 0x2004, 100, 1, 4455, "Exposure"},
}};

constexpr const RegisterInfo &registerInfo(Register id) {
    for (const RegisterInfo &info : kRegisterMap) {
        if (info.id == id) {
            return info;
        }
    }
    return kRegisterMap[0];  // unreachable: every Register has an entry
}

constexpr std::uint16_t registerAddress(Register id) {
    return registerInfo(id).address;
}

// The entry for an address, or null for an address the camera does not know.
constexpr const RegisterInfo *findRegister(std::uint16_t address) {
    for (const RegisterInfo &info : kRegisterMap) {
        if (info.address == address) {
            return &info;
        }
    }
    return nullptr;
}

}  // namespace ostrel::platform::camera

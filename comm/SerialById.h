#pragma once
// The stable names udev gives serial adapters (/dev/serial/by-id/usb-…): a USB adapter gets a
// new ttyUSBn on every plug-in, its by-id link stays.
#include <string>

// The by-id link that resolves to the device (compared by real path); empty when none does.
std::string SerialByIdName(const std::string& device,
                           const std::string& byIdDir = "/dev/serial/by-id");

// What the port list says of a serial device, from property sets recorded from udev.

#include "platform/SerialDevices.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using drel::platform::DescribeSerialDevice;
using drel::platform::SerialDeviceFromProperties;
using Properties = std::map<std::string, std::string>;

namespace {

const Properties kFtdi = {
    {"DEVNAME", "/dev/ttyUSB0"},
    {"ID_VENDOR", "FTDI"},
    {"ID_VENDOR_ENC", "FTDI"},
    {"ID_VENDOR_ID", "0403"},
    {"ID_VENDOR_FROM_DATABASE", "Future Technology Devices International, Ltd"},
    {"ID_MODEL", "FT232R_USB_UART"},
    {"ID_MODEL_ENC", "FT232R\\x20USB\\x20UART"},
    {"ID_MODEL_ID", "6001"},
    {"ID_MODEL_FROM_DATABASE", "FT232 Serial (UART) IC"},
    {"ID_SERIAL", "FTDI_FT232R_USB_UART_A50285BI"},
    {"ID_SERIAL_SHORT", "A50285BI"},
    {"ID_USB_INTERFACE_NUM", "00"},
    {"ID_USB_DRIVER", "ftdi_sio"},
    {"DEVLINKS",
     "/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0 "
     "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"},
};

const Properties kCp210x = {
    {"ID_VENDOR", "Silicon_Labs"},
    {"ID_VENDOR_ENC", "Silicon\\x20Labs"},
    {"ID_VENDOR_ID", "10c4"},
    {"ID_VENDOR_FROM_DATABASE", "Silicon Labs"},
    {"ID_MODEL", "CP2102_USB_to_UART_Bridge_Controller"},
    {"ID_MODEL_ENC", "CP2102\\x20USB\\x20to\\x20UART\\x20Bridge\\x20Controller"},
    {"ID_MODEL_ID", "ea60"},
    {"ID_MODEL_FROM_DATABASE", "CP210x UART Bridge"},
    {"ID_SERIAL_SHORT", "0001"},
    {"ID_USB_INTERFACE_NUM", "00"},
    {"DEVLINKS",
     "/dev/serial/by-id/usb-Silicon_Labs_CP2102_USB_to_UART_Bridge_Controller_0001-if00-port0 "
     "/dev/serial/by-path/pci-0000:00:14.0-usb-0:3:1.0-port0"},
};

const Properties kAcmWithSerial = {
    {"ID_VENDOR", "STMicroelectronics"},
    {"ID_VENDOR_ENC", "STMicroelectronics"},
    {"ID_VENDOR_ID", "0483"},
    {"ID_MODEL", "STM32_Virtual_ComPort"},
    {"ID_MODEL_ENC", "STM32\\x20Virtual\\x20ComPort"},
    {"ID_MODEL_ID", "5740"},
    {"ID_SERIAL_SHORT", "6D8F3A5B5748"},
    {"ID_USB_INTERFACE_NUM", "00"},
    {"ID_USB_DRIVER", "cdc_acm"},
    {"DEVLINKS",
     "/dev/serial/by-id/usb-STMicroelectronics_STM32_Virtual_ComPort_6D8F3A5B5748-if00 "
     "/dev/serial/by-path/pci-0000:00:14.0-usb-0:4:1.0"},
};

// A board without a serial number or a model string: udev reports the ids in their place.
const Properties kAcmWithoutSerial = {
    {"ID_VENDOR", "Arduino__www.arduino.cc_"},
    {"ID_VENDOR_ENC", "Arduino\\x20\\x28www.arduino.cc\\x29"},
    {"ID_VENDOR_ID", "2341"},
    {"ID_VENDOR_FROM_DATABASE", "Arduino SA"},
    {"ID_MODEL", "0043"},
    {"ID_MODEL_ENC", "0043"},
    {"ID_MODEL_ID", "0043"},
    {"ID_MODEL_FROM_DATABASE", "Uno R3 (CDC ACM)"},
    {"ID_USB_INTERFACE_NUM", "00"},
    {"DEVLINKS",
     "/dev/serial/by-id/usb-Arduino__www.arduino.cc__0043-if00 "
     "/dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0"},
};

// Two identical adapters without serial numbers; and the two ports of one dual adapter.
Properties Ch340At(const std::string& usbPort) {
    return {
        {"ID_VENDOR", "1a86"},
        {"ID_VENDOR_ENC", "1a86"},
        {"ID_VENDOR_ID", "1a86"},
        {"ID_VENDOR_FROM_DATABASE", "QinHeng Electronics"},
        {"ID_MODEL", "USB_Serial"},
        {"ID_MODEL_ENC", "USB\\x20Serial"},
        {"ID_MODEL_ID", "7523"},
        {"ID_USB_INTERFACE_NUM", "00"},
        {"DEVLINKS",
         "/dev/serial/by-id/usb-1a86_USB_Serial-if00-port0 "
         "/dev/serial/by-path/pci-0000:00:14.0-usb-0:" +
             usbPort + ":1.0-port0"},
    };
}

Properties Ft2232Interface(const std::string& interface) {
    return {
        {"ID_VENDOR_ENC", "FTDI"},
        {"ID_VENDOR_ID", "0403"},
        {"ID_MODEL_ENC", "Dual\\x20RS232-HS"},
        {"ID_MODEL_ID", "6010"},
        {"ID_SERIAL_SHORT", "FT3X9KLM"},
        {"ID_USB_INTERFACE_NUM", interface},
        {"DEVLINKS", "/dev/serial/by-id/usb-FTDI_Dual_RS232-HS_FT3X9KLM-if" + interface + "-port0"},
    };
}

}  // namespace

TEST(SerialDevicesTest, DescribesEachDeviceByWhatIdentifiesIt) {
    const struct {
        const char* name;
        Properties properties;
        const char* description;
    } cases[] = {
        {"ttyUSB0", kFtdi,
         "FTDI FT232R USB UART, serial A50285BI "
         "(/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0)"},
        {"ttyUSB1", kCp210x,
         "Silicon Labs CP2102 USB to UART Bridge Controller, serial 0001 "
         "(/dev/serial/by-id/usb-Silicon_Labs_CP2102_USB_to_UART_Bridge_Controller_0001-if00-"
         "port0)"},
        {"ttyACM0", kAcmWithSerial,
         "STMicroelectronics STM32 Virtual ComPort, serial 6D8F3A5B5748 "
         "(/dev/serial/by-id/usb-STMicroelectronics_STM32_Virtual_ComPort_6D8F3A5B5748-if00)"},
        {"ttyACM1", kAcmWithoutSerial,
         "Arduino (www.arduino.cc) Uno R3 (CDC ACM) "
         "(/dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0)"},
        {"ttyUSB2", Ch340At("2"),
         "QinHeng Electronics USB Serial (/dev/serial/by-path/pci-0000:00:14.0-usb-0:2:1.0-port0)"},
        {"ttyUSB3", Ch340At("3"),
         "QinHeng Electronics USB Serial (/dev/serial/by-path/pci-0000:00:14.0-usb-0:3:1.0-port0)"},
        {"ttyUSB4", Ft2232Interface("00"),
         "FTDI Dual RS232-HS, serial FT3X9KLM "
         "(/dev/serial/by-id/usb-FTDI_Dual_RS232-HS_FT3X9KLM-if00-port0)"},
        {"ttyUSB5", Ft2232Interface("01"),
         "FTDI Dual RS232-HS, serial FT3X9KLM, interface 1 "
         "(/dev/serial/by-id/usb-FTDI_Dual_RS232-HS_FT3X9KLM-if01-port0)"},
        {"ttyS0", {}, ""},  // a built-in port: nothing to say beyond its name
    };
    for (const auto& c : cases) {
        const auto device = SerialDeviceFromProperties(c.name, c.properties);
        EXPECT_EQ(device.name, c.name);
        EXPECT_EQ(DescribeSerialDevice(device), c.description) << c.name;
    }
}

// Where udev does not run, sysfs gives the device's own strings as they are.
TEST(SerialDevicesTest, StringsFromSysfsNeedNoUnescaping) {
    const auto device =
        SerialDeviceFromProperties("ttyUSB0", {{"ID_VENDOR_ENC", "Prolific Technology Inc. "},
                                               {"ID_MODEL_ENC", "USB-Serial Controller"},
                                               {"ID_SERIAL_SHORT", "12345"},
                                               {"ID_USB_INTERFACE_NUM", "00"}});
    EXPECT_EQ(DescribeSerialDevice(device),
              "Prolific Technology Inc. USB-Serial Controller, serial 12345");
}

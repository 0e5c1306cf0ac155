#include "tests/support/TestDisk.h"

#include "tests/support/BmpFile.h"

namespace corvane_test {

const char* const TestDisk::kOneInf = "[Version]\r\nSignature=\"$CHICAGO$\"\r\n\r\n"
                                      "[Devices]\r\n%Old%=old_install,PCI\\VEN_7E57&DEV_0100\r\n";
const char* const TestDisk::kTwoInf = "[Devices]\r\nbase=1\r\n";
const char* const TestDisk::kUsbInf = "[Devices]\r\nhub=1\r\n";
const char* const TestDisk::kRegistry =
    "REGEDIT4\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\Enum]\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\Enum\\PCI]\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\VEN_7E57&DEV_0001]\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\VEN_7E57&DEV_0001\\BUS_00&DEV_07]\r\n\"Class\"=\"hdc\"\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\VEN_7E57&DEV_0002]\r\n\"Class\"=\"USB\"\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\VEN_7E57&DEV_0003]\r\n\"Class\"=\"Keep\"\r\n";

namespace {

const char kLayout[] = "[LAYOUT]\r\nSIZE=560, 400\r\nALIGNMENT=LEFT\r\nCAPTION=Test Disk\r\n"
                       "[BITMAP]\r\n16=PIC.BMP\r\n256=PIC.BMP\r\n"
                       "[FONT]\r\nSize=20\r\n"
                       "[GAPS]\r\nVERTICAL=20\r\nHORIZONTAL=10\r\nIN_BETWEEN=10\r\n"
                       "[MENU]\r\n1=Install,100,\r\n2=Uninstall,101,\r\n3=Other,7,\r\n4=Quit,4,\r\n"
                       "[CHECK FILES]\r\nONE.INF=ONE.QTR\r\nTWO.INF=TWO.QTR\r\nNULL=USB.QTR\r\n"
                       "[COMMON]\r\nONE.INF=ONE.QTR,ONE.BAK\r\n"
                       "[950]\r\nTWO.INF=TWO.QTR,TWO.BAK\r\n"
                       "[950A]\r\nTWO.INF=TWOA.QTR,TWO.BAK\r\n"
                       "[950B]\r\nTWO.INF=TWOB.QTR,TWO.BAK\r\n"
                       "[USB INF]\r\nUSB.INF=USB.QTR,USB.BAK\r\n"
                       "[UNINSTALL]\r\nONE.INF=ONE.BAK\r\nTWO.INF=TWO.BAK\r\nUSB.INF=USB.BAK\r\n"
                       "[ControlFlags]\r\nPCI\\VEN_7E57&DEV_0001=1\r\n"
                       "[USB ControlFlags]\r\nPCI\\VEN_7E57&DEV_0002=1\r\n";

std::string picture() {
    BmpFile bmp;
    bmp.width = 300;
    bmp.height = 200;
    bmp.bitCount = 8;
    bmp.palette = {RGB(0, 0, 96), RGB(0, 64, 160), RGB(255, 255, 255)};
    bmp.pixel = [](int x, int y) { return (x / 30 + y / 20) % 2; };
    return bmp.bytes();
}

} // namespace

TestDisk::TestDisk(bool usb) {
    writeDisk("layout.ini", kLayout);
    writeDisk("PIC.BMP", picture());
    writeDisk("ONE.QTR", "[Devices]\r\n%New%=new_install,PCI\\VEN_7E57&DEV_0001\r\n"
                         "[Strings]\r\nNew=\"Test IDE controller\"\r\n");
    writeDisk("TWO.QTR", "[Devices]\r\nrelease=950\r\n");
    writeDisk("TWOA.QTR", "[Devices]\r\nrelease=950A\r\n");
    writeDisk("TWOB.QTR", "[Devices]\r\nrelease=950B\r\n");
    writeDisk("USB.QTR", "[Devices]\r\nusb=new\r\n");
    writeHostFile(infPath("ONE.INF"), kOneInf);
    writeHostFile(infPath("TWO.INF"), kTwoInf);
    if (usb) {
        writeHostFile(infPath("USB.INF"), kUsbInf);
    }
    writeHostFile(registryPath(), kRegistry);
}

void TestDisk::writeDisk(const std::string& name, const std::string& text) const {
    writeHostFile(disk() + "/" + name, text);
}

} // namespace corvane_test

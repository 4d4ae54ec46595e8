// Who the converter says it is in normal mode: the vendor and product identification of its SCSI
// device (INQUIRY, and sysfs on Linux), for both generations of the product.
#ifndef BRG40_CONVERTER_IDENTITY_H
#define BRG40_CONVERTER_IDENTITY_H

namespace brg40 {

constexpr char kConverterVendor[] = "ZEVAK";
constexpr const char* kConverterProducts[] = {"USB-SPI/I2C Cnv.", "NKV-BRG40M"};

}  // namespace brg40

#endif

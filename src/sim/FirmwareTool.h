// strovfw: builds and inspects the firmware image files of FirmwareImage.h,
// for tests, samples and anyone trying the download tools on strovsim.
//
//   strovfw build [--target TEXT] [--revision REV] [--size BYTES] [--seed N]
//                 [--corrupt] FILE
//       writes an image of BYTES bytes in all (header included; default
//       262144) for TEXT (default CONTROLLER) with revision REV (default
//       0302) and the payload pattern N (default 1). --corrupt changes one
//       payload byte after the checksum was taken.
//   strovfw show FILE
//       prints the header and whether the image is whole.
//
// Exit codes: 0 done, 1 the file could not be written or read, or is no
// good image (show), 2 a bad argument.
#pragma once

namespace sim {

int RunFirmwareTool(int argc, char** argv);

}  // namespace sim

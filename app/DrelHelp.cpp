#include "app/DrelCommandLine.h"

namespace drel {

const char* DrelHelp() {
    return "Usage: drel [OPTIONS] [FILE]\n"
           "  or:  drel --port PORT [LINE OPTIONS] [--log FILE [--log-format FORMAT]]\n"
           "A serial terminal: one window for each serial port, with image loads into a\n"
           "board's boot monitor. Without options drel asks for a port with the port dialog;\n"
           "with FILE it shows that text file.\n"
           "\n"
           "PORT is a link in $XDG_CONFIG_HOME/Ovex/drel/ports, a path, COMn\n"
           "(/dev/ttyS<n-1>), a name in /dev, or a port served over the network:\n"
           "rfc2217://HOST:PORT (line settings sent with RFC 2217) or tcp://HOST:PORT (bytes\n"
           "only).\n"
           "\n"
           "Options:\n"
           "  --port PORT            open PORT at start-up instead of asking with the dialog\n"
           "  --baud N               baud rate (115200)\n"
           "  --data-bits 7|8        data bits (8)\n"
           "  --parity none|odd|even  parity (none)\n"
           "  --stop-bits 1|2        stop bits (1)\n"
           "  --flow none|rtscts|xonxoff  flow control (none)\n"
           "  --log FILE             log what the port receives to FILE (appended)\n"
           "  --log-format raw|iso|elapsed|delta  how --log writes: raw (the default), or lines\n"
           "                         stamped with the time of day, the seconds since the log\n"
           "                         began or since the line before\n"
           "  --reconnect            reopen a port whose device goes away once it returns\n"
           "  --list-ports           print the serial devices present, one a line, and end\n"
           "  --help                 print this help and end\n"
           "  --version              print the version and end\n"
           "A value may also follow its option after '=' (--baud=9600). The line options and\n"
           "--log need --port. --list-ports, --help and --version need no display.\n"
           "\n"
           "Exit status:\n"
           "  0    drel ended normally\n"
           "  2    a bad option: one line on stderr says what is wrong\n";
}

}  // namespace drel

# Shell functions shared by the scripts that run the suite in a fresh machine
# root (scripts/demo.sh, bench/sim_blocks.sh); sourced, not run.

# A port nobody listens on now (the kernel picks it): free_port tcp|udp.
free_port() {
    python3 -c 'import socket,sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM if sys.argv[1] == "udp" else socket.SOCK_STREAM)
s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()' "$1"
}

# Lays out a machine root in the directory $1: the service's ports in
# etc/services (free ones, left in tcp_port and udp_port), and the registry.
# Sessions are authorized through secure files in the administration
# directory C:\oru_admin (that is $1/c/oru_admin). Clients look for services
# by a datagram to their subnet's broadcast address; the mask of all ones
# keeps that search on this one machine.
make_machine_root() {
    local root="$1"
    mkdir -p "$root/etc" "$root/registry" "$root/c/oru_admin"
    tcp_port="$(free_port tcp)"
    udp_port="$(free_port udp)"
    cat > "$root/etc/services" <<SERVICES
oruTCP ${tcp_port}/tcp
oruUDP ${udp_port}/udp
SERVICES
    cat > "$root/registry/HKEY_LOCAL_MACHINE.reg" <<'REGISTRY'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Verdanix\Strovane]
"Subnet Mask"="255.255.255.255"

[HKEY_LOCAL_MACHINE\Software\Verdanix\Strovane\OruServer\Administration]
"Path Name"="C:\\oru_admin"
REGISTRY
}

# The platform a Windows executable is built for, from its PE header: x64,
# x86, or the machine number when it is another. Sourced by the release tests.
pe_platform() {  # file
  local header machine
  header=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  machine=$(od -An -tx2 -j$((header + 4)) -N2 "$1" | tr -d ' ')
  case $machine in 8664) echo x64 ;; 014c) echo x86 ;; *) echo "machine $machine" ;; esac
}

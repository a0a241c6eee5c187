# Sourced by the build scripts: whether compiler warnings are errors. They
# are when WERROR says so, and by default under CI; WERROR=0 (or false, OFF)
# turns them off anywhere. Sets `werror` to ON or OFF, for -DD88_WERROR.
case "${WERROR:-${CI:-0}}" in
  0 | false | OFF | off | "") werror=OFF ;;
  *) werror=ON ;;
esac

#!/usr/bin/env bash
# Writes the configuration of a D-Bus session bus private to the suite:
#   scripts/private-bus.sh <folder> <listen address> [any-user]
# It prints the configuration's path (<folder>/bus.conf). The bus activates
# nothing from the host's service folders (a real desktop portal, a
# StatusNotifierWatcher, an input method, a keyring or the accessibility bus
# would otherwise answer in place of a test's stand-ins); its only service
# folder is <folder>/services, which holds what a test asked for by name:
#   TOLVANIS_BUS_SERVICES="org.freedesktop.portal.Desktop /path/to/other.service"
# Each word is a bus name whose .service file Debian installs under
# /usr/share/dbus-1/services, or the path of a .service file. "any-user" lets
# every local user connect (for a desktop that runs as another user).
set -euo pipefail

folder=$1
listen=$2
mkdir -p "$folder/services"
for service in ${TOLVANIS_BUS_SERVICES:-}; do
  [[ $service == */* ]] || service=/usr/share/dbus-1/services/$service.service
  [[ -f $service ]] || { echo "private-bus: no service file $service" >&2; exit 1; }
  cp "$service" "$folder/services/"
done
users=
[[ ${3:-} == any-user ]] && users='<allow user="*"/>'
cat >"$folder/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <keep_umask/>
  <listen>$listen</listen>
  <auth>EXTERNAL</auth>
  <servicedir>$folder/services</servicedir>
  <policy context="default">
    $users
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
echo "$folder/bus.conf"

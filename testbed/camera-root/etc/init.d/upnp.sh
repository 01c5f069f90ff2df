#!/bin/sh
# Stand-in for the camera's UPnP service init script (sandbox): logs what it was asked,
# with the host name it would announce.
mkdir -p /run/camera-fakes
echo "upnp.sh $* hostname=$(hostname)" >> /run/camera-fakes/calls
case "$1" in start|stop|restart|condrestart) exit 0 ;; *) echo "usage: $0 start|stop|condrestart" >&2; exit 1 ;; esac

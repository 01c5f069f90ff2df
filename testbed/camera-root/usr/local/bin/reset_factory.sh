#!/bin/sh
# Stand-in for the camera's factory-reset script (sandbox only): logs how it was asked
# ("saveip" keeps the IP settings, no argument resets everything) and changes nothing.
mkdir -p /run/camera-fakes
echo "reset_factory.sh $*" >> /run/camera-fakes/calls
exit 0

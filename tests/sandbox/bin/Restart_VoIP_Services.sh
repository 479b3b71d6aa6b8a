#!/bin/sh
# Stand-in for the appliance's telephony-service restart: records each call.
echo "$(date '+%Y-%m-%d %H:%M:%S') $*" >>/var/run/Restart_VoIP_Services.calls

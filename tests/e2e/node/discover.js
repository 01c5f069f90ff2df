// Finds cameras with the onvif package's WS-Discovery probe and asks each one's device
// service (the first XAddr) for its scopes. Prints one JSON line per camera found.
// Usage: node discover.js INTERFACE TIMEOUT_MS
'use strict';
const onvif = require('onvif');

const device = process.argv[2];
const timeout = Number(process.argv[3] || 3000);

onvif.Discovery.probe({ device, timeout, resolve: false }, (errors, found) => {
  if (!found.length) {
    console.log(JSON.stringify({ error: String(errors || 'nothing found') }));
    process.exit(1);
  }
  let left = found.length;
  for (const match of found) {
    const probeMatch = match.probeMatches.probeMatch;
    const xaddr = new URL(probeMatch.XAddrs.split(' ')[0]);
    const cam = new onvif.Cam({
      hostname: xaddr.hostname, port: Number(xaddr.port) || 80, path: xaddr.pathname,
      autoconnect: false, timeout,
    });
    cam.getScopes((err, scopes) => {
      console.log(JSON.stringify({
        address: probeMatch.endpointReference.address,
        xaddrs: probeMatch.XAddrs,
        types: probeMatch.types,
        error: err ? String(err) : null,
        scopes: err ? [] : scopes.map((s) => s.scopeItem),
      }));
      if (--left === 0) process.exit(0);
    });
  }
});

// Drives a camera's imaging service with the npm "onvif" client library: the clock and the
// capabilities first (the library takes the imaging address from them), then the imaging
// service capabilities, SetImagingSettings with the IR-cut filter mode given and
// GetImagingSettings. Prints one JSON object.
// Usage: node imaging.js HOST PORT USER PASSWORD MODE
'use strict';
const { Cam } = require('onvif');

const [hostname, port, username, password, mode] = process.argv.slice(2);
const cam = new Cam({ hostname, port: Number(port), username, password, autoconnect: false,
  timeout: 20000 });

function step(name, call) {
  return new Promise((resolve, reject) => {
    call((err, data) => (err ? reject(new Error(name + ': ' + err.message)) : resolve(data)));
  });
}

(async () => {
  await step('getSystemDateAndTime', (cb) => cam.getSystemDateAndTime(cb));
  await step('getCapabilities', (cb) => cam.getCapabilities(cb));
  const imaging = cam.uri && cam.uri.imaging ? cam.uri.imaging.href : null;
  const capabilities = await step('getImagingServiceCapabilities',
    (cb) => cam.getImagingServiceCapabilities(cb));
  await step('setImagingSettings', (cb) => cam.setImagingSettings({ token: 'HD',
    irCutFilter: mode }, cb));
  const settings = await step('getImagingSettings',
    (cb) => cam.getImagingSettings({ token: 'HD' }, cb));
  console.log(JSON.stringify({ imaging, capabilities, settings }));
})().catch((err) => {
  console.error(err.message);
  process.exit(1);
});

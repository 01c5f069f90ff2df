// Reads the date and time, the capabilities, the services and the device information of a
// camera with the npm "onvif" client library (WS-Security UsernameToken digest), and prints
// what the library made of them as one JSON object.
// Usage: node device_info.js HOST PORT USER PASSWORD
'use strict';
const { Cam } = require('onvif');

const [hostname, port, username, password] = process.argv.slice(2);
const cam = new Cam({ hostname, port: Number(port), username, password, autoconnect: false,
  timeout: 20000 });

function step(name, call) {
  return new Promise((resolve, reject) => {
    call((err, data) => (err ? reject(new Error(name + ': ' + err.message)) : resolve(data)));
  });
}

(async () => {
  const date = await step('getSystemDateAndTime', (cb) => cam.getSystemDateAndTime(cb));
  const capabilities = await step('getCapabilities', (cb) => cam.getCapabilities(cb));
  const services = await step('getServices', (cb) => cam.getServices(true, cb));
  const info = await step('getDeviceInformation', (cb) => cam.getDeviceInformation(cb));
  const uri = {};
  for (const [name, url] of Object.entries(cam.uri || {})) uri[name] = url.href;
  console.log(JSON.stringify({ date: date.toISOString(), capabilities, services, info, uri }));
})().catch((err) => {
  console.error(err.message);
  process.exit(1);
});

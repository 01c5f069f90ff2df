-- wrk script: authenticated ONVIF requests to nvtd, one request per connection, each with
-- its own WS-Security UsernameToken (password digest over a fresh nonce), as nvtd accepts a
-- (Nonce, Created) pair only once. Arguments after "--": MODE USER PASSWORD, where MODE is
--   device    GetDeviceInformation
--   profiles  GetProfiles
--   events    pull-point cycles: CreatePullPointSubscription (ending after 5 s), PullMessages
--             (PT0S, answered at once with the initial state), Unsubscribe; prints the cycles
--             per second
-- Created lies 300 s behind the clock, at the edge of nvtd's window: nvtd then forgets each
-- accepted pair when the second ends, so that its table of 8192 remembered pairs never fills
-- during a run (a token Created now would be remembered for 300 s). In the last 50 ms of a
-- second the next second is used, so that no token turns stale on its way.
local bit = require("bit")
local ffi = require("ffi")
ffi.cdef [[
  typedef struct { long tv_sec; long tv_usec; } bench_timeval;
  int gettimeofday(bench_timeval* tv, void* zone);
]]
local band, bor, bxor, bnot, rol, lshift, rshift, tobit =
  bit.band, bit.bor, bit.bxor, bit.bnot, bit.rol, bit.lshift, bit.rshift, bit.tobit

local function word_bytes(h)
  return string.char(band(rshift(h, 24), 255), band(rshift(h, 16), 255),
                     band(rshift(h, 8), 255), band(h, 255))
end

-- SHA-1 of a string, as 20 bytes.
local function sha1(message)
  local bits = #message * 8
  message = message .. "\128" .. string.rep("\0", (55 - #message) % 64) .. "\0\0\0\0" ..
            word_bytes(bits)
  local h0, h1, h2, h3, h4 = 0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0
  local w = {}
  for chunk = 1, #message, 64 do
    for i = 0, 15 do
      local a, b, c, d = message:byte(chunk + 4 * i, chunk + 4 * i + 3)
      w[i] = bor(lshift(a, 24), lshift(b, 16), lshift(c, 8), d)
    end
    for i = 16, 79 do
      w[i] = rol(bxor(w[i - 3], w[i - 8], w[i - 14], w[i - 16]), 1)
    end
    local a, b, c, d, e = h0, h1, h2, h3, h4
    for i = 0, 79 do
      local f, k
      if i < 20 then
        f, k = bor(band(b, c), band(bnot(b), d)), 0x5A827999
      elseif i < 40 then
        f, k = bxor(b, c, d), 0x6ED9EBA1
      elseif i < 60 then
        f, k = bor(band(b, c), band(b, d), band(c, d)), 0x8F1BBCDC
      else
        f, k = bxor(b, c, d), 0xCA62C1D6
      end
      a, b, c, d, e = tobit(rol(a, 5) + f + e + k + w[i]), a, rol(b, 30), c, d
    end
    h0, h1, h2, h3, h4 = tobit(h0 + a), tobit(h1 + b), tobit(h2 + c), tobit(h3 + d), tobit(h4 + e)
  end
  return word_bytes(h0) .. word_bytes(h1) .. word_bytes(h2) .. word_bytes(h3) .. word_bytes(h4)
end

local ALPHABET = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"

local function base64(data)
  local out = {}
  for i = 1, #data, 3 do
    local a, b, c = data:byte(i, i + 2)
    local n = a * 65536 + (b or 0) * 256 + (c or 0)
    local chars = {}
    for j = 1, 4 do
      local index = band(rshift(n, 6 * (4 - j)), 63) + 1
      chars[j] = ALPHABET:sub(index, index)
    end
    if not b then chars[3] = "=" end
    if not c then chars[4] = "=" end
    out[#out + 1] = table.concat(chars)
  end
  return table.concat(out)
end

local function hex(data)
  return (data:gsub(".", function(c) return string.format("%02x", c:byte()) end))
end

-- A wrong digest would only show as refusals: check the hash before the load starts.
local KNOWN = {  -- one block, the length in a block of its own, two blocks
  ["abc"] = "a9993e364706816aba3e25717850c26c9cd0d89d",
  [string.rep("a", 56)] = "c2db330f6083854c99d4b5bfb6e8f29f201be699",
  [string.rep("a", 64)] = "0098ba824b5c16427bd7a1122a5a442a25ec644d",
}
for text, digest in pairs(KNOWN) do
  assert(hex(sha1(text)) == digest, "sha1 is broken")
end
assert(base64("ab") == "YWI=" and base64("abc") == "YWJj" and base64("a") == "YQ==")

local WSSE = "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd"
local WSU = "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd"
local DIGEST = "http://docs.oasis-open.org/wss/2004/01/" ..
               "oasis-200401-wss-username-token-profile-1.0#PasswordDigest"
local TDS = "http://www.onvif.org/ver10/device/wsdl"
local TRT = "http://www.onvif.org/ver10/media/wsdl"
local TEV = "http://www.onvif.org/ver10/events/wsdl"
local WSNT = "http://docs.oasis-open.org/wsn/b-2"

local user, password
local nonce_prefix
local sent = 0

local clock = ffi.new("bench_timeval")

local function created_stamp()
  ffi.C.gettimeofday(clock, nil)
  local second = tonumber(clock.tv_sec)
  if clock.tv_usec >= 950000 then second = second + 1 end
  return os.date("!%Y-%m-%dT%H:%M:%SZ", second - 300)
end

local function security()
  sent = sent + 1
  local nonce = nonce_prefix .. string.char(band(rshift(sent, 24), 255),
                                            band(rshift(sent, 16), 255),
                                            band(rshift(sent, 8), 255), band(sent, 255))
  local created = created_stamp()
  local digest = base64(sha1(nonce .. created .. password))
  return '<wsse:Security xmlns:wsse="' .. WSSE .. '" xmlns:wsu="' .. WSU ..
         '"><wsse:UsernameToken><wsse:Username>' .. user ..
         '</wsse:Username><wsse:Password Type="' .. DIGEST .. '">' .. digest ..
         "</wsse:Password><wsse:Nonce>" .. base64(nonce) .. "</wsse:Nonce><wsu:Created>" ..
         created .. "</wsu:Created></wsse:UsernameToken></wsse:Security>"
end

local function post(path, action, header, body)
  local envelope = '<?xml version="1.0" encoding="UTF-8"?>' ..
    '<s:Envelope xmlns:s="http://www.w3.org/2003/05/soap-envelope" ' ..
    'xmlns:a="http://www.w3.org/2005/08/addressing" xmlns:tds="' .. TDS .. '" xmlns:trt="' ..
    TRT .. '" xmlns:tev="' .. TEV .. '" xmlns:wsnt="' .. WSNT .. '"><s:Header>' .. security() ..
    header .. "</s:Header><s:Body>" .. body .. "</s:Body></s:Envelope>"
  return wrk.format("POST", path, {
    ["Content-Type"] = 'application/soap+xml; charset=utf-8; action="' .. action .. '"',
    ["Connection"] = "close",
  }, envelope)
end

local function device_request()
  return post("/onvif/device_service", TDS .. "/GetDeviceInformation", "",
              "<tds:GetDeviceInformation/>")
end

local function profiles_request()
  return post("/onvif/media_service", TRT .. "/GetProfiles", "", "<trt:GetProfiles/>")
end

-- The cycle: each answer tells which step of which subscription comes next. With one
-- request per connection the answers arrive on any connection, so the pull carries its
-- subscription in its MessageID, which nvtd echoes.
local to_pull, to_unsubscribe = {}, {}
cycles, unexpected = 0, 0

local function events_request()
  local id = table.remove(to_unsubscribe)
  if id then
    return post("/onvif/events_service", WSNT .. "/SubscriptionManager/UnsubscribeRequest",
                "<SubscriptionId>" .. id .. "</SubscriptionId>", "<wsnt:Unsubscribe/>")
  end
  id = table.remove(to_pull)
  if id then
    return post("/onvif/events_service", TEV .. "/PullPointSubscription/PullMessagesRequest",
                "<SubscriptionId>" .. id .. "</SubscriptionId><a:MessageID>urn:bench:pull:" ..
                id .. "</a:MessageID>",
                "<tev:PullMessages><tev:Timeout>PT0S</tev:Timeout>" ..
                "<tev:MessageLimit>10</tev:MessageLimit></tev:PullMessages>")
  end
  return post("/onvif/events_service",
              TEV .. "/EventPortType/CreatePullPointSubscriptionRequest", "",
              "<tev:CreatePullPointSubscription><tev:InitialTerminationTime>PT5S" ..
              "</tev:InitialTerminationTime></tev:CreatePullPointSubscription>")
end

local function events_response(status, headers, body)
  if body:find("CreatePullPointSubscriptionResponse", 1, true) then
    local id = body:match("SubscriptionId[^>]*>(%d+)<")
    if id then
      to_pull[#to_pull + 1] = id
      return
    end
  elseif body:find("PullMessagesResponse", 1, true) then
    local id = body:match("urn:bench:pull:(%d+)")
    if id then
      to_unsubscribe[#to_unsubscribe + 1] = id
      return
    end
  elseif body:find("UnsubscribeResponse", 1, true) then
    cycles = cycles + 1
    return
  end
  unexpected = unexpected + 1
end

local threads = {}

function setup(thread)
  threads[#threads + 1] = thread
end

function init(args)
  local mode = args[1]
  user, password = args[2], args[3]
  assert(user and password, "arguments: MODE USER PASSWORD")
  local random = assert(io.open("/dev/urandom", "rb"))
  nonce_prefix = random:read(12)  -- and a counter: every nonce of the run differs
  random:close()
  if mode == "device" then
    request = device_request
  elseif mode == "profiles" then
    request = profiles_request
  elseif mode == "events" then
    request = events_request
    response = events_response
  else
    error("unknown mode " .. tostring(mode))
  end
end

function done(summary)
  local total, odd = 0, 0
  for _, thread in ipairs(threads) do
    total = total + (thread:get("cycles") or 0)
    odd = odd + (thread:get("unexpected") or 0)
  end
  if total > 0 or odd > 0 then
    io.write(string.format("Cycles/sec: %.2f\nUnexpected answers: %d\n",
                           total / (summary.duration / 1e6), odd))
  end
end

# ctest-labels: tsan
"""The event service of nvtd in server mode, driven from the LAN namespace: camera states
written into /run/camera-state by a shell command reach pull points and push consumers as
Initialized then Changed messages, queued per subscription; termination times, filters,
ownership and the third-party client's view."""
import json
import re
import socket
import subprocess
import sys
import time
from datetime import datetime, timedelta, timezone

import pytest

from camera import in_lan, wait_for
from nvtd_relay import server_has_read
from events_rig import (
    PORT, CAMERA, EVENTS_WSDL, CONCRETE, ALARM, CELL, TAMPER, TT, INVALID_THING, WITHIN,
    set_state, Nvtd,
    read_answer, call, create_pull_point, sid_header, pull, pulled, unsubscribe, renew, stamp,
    span, messages, Consumer, subscribe, envelope, WSNT, filter_element)
from onvif_client import onvif_library
from onvif_soap import security
from onvif_validate import validate


@pytest.fixture
def nvtd(tmp_path):
    server = Nvtd(tmp_path)
    yield server
    server.stop()


def test_a_state_reaches_a_waiting_pull_point_and_a_push_consumer(nvtd, tmp_path):
    consumer = Consumer()
    try:
        sid, created = create_pull_point("PT60S")
        first = pulled(sid)
        assert messages(first) == [(ALARM, "Initialized", "State", "false"),
                                   (CELL, "Initialized", "IsMotion", "false")] + [
                                       (topic, "Initialized", "State", "false")
                                       for topic in TAMPER.values()]
        _, subscribed = subscribe(consumer.address, expression=(ALARM,))
        assert wait_for(lambda: consumer.posts, timeout=10)
        assert consumer.messages() == [(ALARM, "Initialized", "State", "false")]
        with pull(sid, "PT20S") as waiting:
            assert wait_for(lambda: server_has_read(waiting))  # the request reaches its slot
            raised = time.monotonic()
            set_state("motion", "true")
            head, changed = read_answer(waiting, timeout=30)
            pulled_after = time.monotonic() - raised
        assert messages(changed) == [(ALARM, "Changed", "State", "true"),
                                     (CELL, "Changed", "IsMotion", "true")]
        assert wait_for(lambda: len(consumer.posts) == 2, timeout=10)
        pushed_after = consumer.posts[1][0] - raised
        assert consumer.messages()[1] == (ALARM, "Changed", "State", "true")
        assert pulled_after < WITHIN and pushed_after < WITHIN, (pulled_after, pushed_after)
        # The push message has the pull message's shape (the Source item "Source" too).
        assert '<tt:SimpleItem Name="Source" Value="HD"/>' in consumer.posts[1][2]
        properties = call("<tev:GetEventProperties/>",
                          EVENTS_WSDL + "/EventPortType/GetEventPropertiesRequest")
        for item in ("Source", "State", "VideoSourceConfigurationToken",
                     "VideoAnalyticsConfigurationToken", "Rule", "IsMotion"):
            assert 'SimpleItemDescription Name="%s"' % item in properties
        validate(tmp_path, created, first, subscribed, changed, consumer.posts[1][2], properties)
    finally:
        consumer.close()


def test_changes_between_pulls_queue_in_order_and_silence_waits_the_timeout(nvtd, tmp_path):
    sid, _ = create_pull_point("PT60S", (ALARM,))
    # A state file holds the latest value only: each change is seen before the next is made.
    set_state("motion", "true")
    assert wait_for(lambda: "state motion = true" in nvtd.log(), timeout=10)
    set_state("motion", "false")
    assert wait_for(lambda: "state motion = false" in nvtd.log(), timeout=10)
    got = pulled(sid, limit=2)
    assert messages(got) == [(ALARM, "Initialized", "State", "false"),
                             (ALARM, "Changed", "State", "true")]
    assert messages(pulled(sid)) == [(ALARM, "Changed", "State", "false")]
    start = time.monotonic()
    empty = pulled(sid, timeout="PT3S")
    waited = time.monotonic() - start
    assert messages(empty) == [] and "<tev:PullMessagesResponse>" in empty
    assert waited >= 2.9, "answered empty before its Timeout"
    # A synchronization point sends each property's current state again.
    sync = call("<tev:SetSynchronizationPoint/>",
                EVENTS_WSDL + "/PullPointSubscription/SetSynchronizationPointRequest",
                sid_header(sid))
    assert messages(pulled(sid)) == [(ALARM, "Initialized", "State", "false")]
    validate(tmp_path, got, empty, sync)


@pytest.mark.parametrize("expression,expected", [
    ((ALARM,), [ALARM]),
    ((CELL, CONCRETE), [CELL]),
    ((ALARM + "|tns1:RuleEngine//.",), [ALARM, CELL]),
    (("tns1:RuleEngine//.",), [CELL]),
    (None, [ALARM, CELL] + list(TAMPER.values())),
    (("tns1:VideoSource/ImageTooDark//.",), [TAMPER["image-too-dark"]]),
    (("tns1:Device/Trigger/DigitalInput",), "TopicNotSupportedFault"),
    ((ALARM, "http://example.com/dialect"), "TopicExpressionDialectUnknownFault"),
])
def test_topic_filters(nvtd, expression, expected):
    sid, answer = create_pull_point("PT60S", expression)
    if isinstance(expected, str):
        assert sid is None and "<wsnt:%s>" % expected in answer
        return
    assert [m[0] for m in messages(pulled(sid))] == expected


def test_tamper_states_reach_a_pull_point_as_initialized_then_changed(nvtd, tmp_path):
    sid, created = create_pull_point("PT60S", ("|".join(TAMPER.values()),))
    assert sid is not None, created
    first = pulled(sid)
    assert messages(first) == [(topic, "Initialized", "State", "false")
                               for topic in TAMPER.values()]
    assert '<tt:SimpleItem Name="Source" Value="T-VSConf-00"/>' in first
    answers = []
    for name, topic in TAMPER.items():
        set_state(name, "true")
        raised = pulled(sid, timeout="PT10S")
        set_state(name, "false")
        assert wait_for(lambda: "state %s = false" % name in nvtd.log(), timeout=10)
        cleared = pulled(sid, timeout="PT10S")
        assert messages(raised) + messages(cleared) == [(topic, "Changed", "State", "true"),
                                                        (topic, "Changed", "State", "false")]
        answers += [raised, cleared]
    properties = call("<tev:GetEventProperties/>",
                      EVENTS_WSDL + "/EventPortType/GetEventPropertiesRequest")
    for topic in TAMPER.values():
        name, family = topic.split("/")[1:]
        assert "<%s><%s wstop:topic=\"true\">" % (name, family) in properties
    validate(tmp_path, created, first, properties, *answers)


def test_a_dead_push_consumer_does_not_delay_a_live_one(nvtd):
    live = Consumer()
    try:
        # Nobody answers at this LAN address: each connection waits out its limit.
        subscribe("http://10.99.0.77:8080/onvif/notify", expression=(ALARM,))
        subscribe(live.address, expression=(ALARM,))
        assert wait_for(lambda: live.posts, timeout=10)
        raised = time.monotonic()
        set_state("motion", "true")
        assert wait_for(lambda: len(live.posts) == 2, timeout=10)
        assert live.posts[1][0] - raised < WITHIN
        # The request thread is not held up either.
        start = time.monotonic()
        assert create_pull_point()[0] is not None
        assert time.monotonic() - start < WITHIN
    finally:
        live.close()


@pytest.mark.parametrize("termination,seconds", [
    ("PT30S", 30), ("PT2M", 120), (None, 60), ("PT1H", 600), ("P1D", 600),
    ("PT2147483647S", 600), ("P100Y", 600), ("P333333333331Y", 600), ("absolute+02:00", 120),
    ("PT1X", None), ("PT0S", None), ("-P333333333331Y", None)])
def test_initial_termination_times(nvtd, termination, seconds):
    if termination == "absolute+02:00":
        at = datetime.now(timezone(timedelta(hours=2))) + timedelta(seconds=120)
        termination = at.strftime("%Y-%m-%dT%H:%M:%S+02:00")
    sid, answer = create_pull_point(termination)
    if seconds is None:
        assert sid is None and "UnacceptableInitialTerminationTimeFault" in answer
        return
    assert abs(span(answer) - seconds) <= 1
    assert stamp(answer, "CurrentTime") and answer.count("Z</wsnt:") == 2


def test_renewals_full_table_and_capabilities(nvtd, tmp_path):
    consumer = Consumer()
    try:
        sid, _ = create_pull_point("PT10S")
        push, _ = subscribe(consumer.address, "PT10S")
        for target in (sid, push):
            answer = renew(target, "PT90S")
            assert span(answer) == 90
        absolute = (datetime.now(timezone.utc) + timedelta(seconds=200)).strftime(
            "%Y-%m-%dT%H:%M:%SZ")
        renewed = renew(sid, absolute)
        assert abs(span(renewed) - 200) <= 1
        while create_pull_point("PT2S")[0] is not None:
            pass
        sid, full = create_pull_point()
        assert sid is None and "<wsnt:SubscribeCreationFailedFault>" in full
        assert "SOAP-ENV:Receiver" in full
        # The short ones expire and are reclaimed for the next.
        assert wait_for(lambda: create_pull_point()[0] is not None, timeout=10, step=0.2)
        capabilities = call("<tev:GetServiceCapabilities/>",
                            EVENTS_WSDL + "/EventPortType/GetServiceCapabilitiesRequest")
        assert 'MaxPullPoints="20"' in capabilities
        faults = [create_pull_point("PT1X")[1], create_pull_point(None, ("tns1:Nothing",))[1],
                  create_pull_point(None, (ALARM, "urn:x"))[1]]
        validate(tmp_path, renewed, full, capabilities, *faults)
    finally:
        consumer.close()


def test_a_webhook_subscription_is_kept_through_the_address_it_was_given(nvtd, tmp_path):
    """Home Assistant's way: every later request goes to the Subscribe answer's address only,
    without the ReferenceParameters; nothing may reach the webhook twice."""
    consumer = Consumer()
    try:
        _, subscribed = subscribe(consumer.address, "PT60S", (ALARM,))
        address = re.search(r"<wsnt:SubscriptionReference><wsa5:Address>([^<]*)<",
                            subscribed).group(1)
        path = re.sub(r"^http://[^/]*", "", address)

        def manager(body, action):
            return call(body, WSNT + "/SubscriptionManager/" + action, path=path)
        renewed = manager("<wsnt:Renew><wsnt:TerminationTime>PT120S</wsnt:TerminationTime>"
                          "</wsnt:Renew>", "RenewRequest")
        assert span(renewed) == 120
        assert wait_for(lambda: len(consumer.messages()) == 1, timeout=10)
        synced = call("<tev:SetSynchronizationPoint/>", EVENTS_WSDL + "/SubscriptionManager/"
                      "SetSynchronizationPointRequest", path=path)
        assert "SetSynchronizationPointResponse" in synced, synced
        assert wait_for(lambda: len(consumer.messages()) == 2, timeout=10)
        set_state("motion", "true")
        assert wait_for(lambda: len(consumer.messages()) == 3, timeout=10)
        gone = manager("<wsnt:Unsubscribe/>", "UnsubscribeRequest")
        assert "UnsubscribeResponse" in gone, gone
        set_state("motion", "false")
        assert wait_for(lambda: "state motion = false" in nvtd.log(), timeout=10)
        time.sleep(1.0)  # a Notify the camera should not send has had time to arrive
        assert consumer.messages() == [(ALARM, "Initialized", "State", "false")] * 2 + [
            (ALARM, "Changed", "State", "true")]
        validate(tmp_path, subscribed, renewed, synced, gone)
    finally:
        consumer.close()


ITEM_FILTER = "http://www.onvif.org/ver10/tev/messageContentFilter/ItemFilter"
IS_MOTION = 'boolean(//tt:SimpleItem[@Name="IsMotion" and @Value="true"])'


def content_filter(expression, prefix="tev"):
    """A Filter with the cell motion topic and a MessageContent of the ItemFilter dialect."""
    return ('<%s:Filter><wsnt:TopicExpression Dialect="%s">%s</wsnt:TopicExpression>'
            '<wsnt:MessageContent Dialect="%s" xmlns:tt="%s">%s</wsnt:MessageContent></%s:Filter>'
            % (prefix, CONCRETE, CELL, ITEM_FILTER, TT, expression, prefix))


def test_a_content_filter_passes_the_raise_and_drops_the_clear(nvtd, tmp_path):
    consumer = Consumer()
    try:
        created = call("<tev:CreatePullPointSubscription>%s</tev:CreatePullPointSubscription>"
                       % content_filter(IS_MOTION), EVENTS_WSDL + "/EventPortType/"
                       "CreatePullPointSubscriptionRequest")
        sid = int(re.search(r"<dom0:SubscriptionId [^>]*>(\d+)<", created).group(1))
        subscribed = call("<wsnt:Subscribe><wsnt:ConsumerReference><a:Address>%s</a:Address>"
                          "</wsnt:ConsumerReference>%s</wsnt:Subscribe>"
                          % (consumer.address, content_filter(IS_MOTION, "wsnt")),
                          WSNT + "/NotificationProducer/SubscribeRequest")
        assert "SubscribeResponse" in subscribed, subscribed
        assert messages(pulled(sid, timeout="PT0S")) == []  # the Initialized "false" is dropped
        for value in ("true", "false"):
            set_state("motion", value)
            assert wait_for(lambda: "state motion = %s" % value in nvtd.log(), timeout=10)
        raised = [(CELL, "Changed", "IsMotion", "true")]
        assert messages(pulled(sid, timeout="PT1S")) == raised
        assert wait_for(lambda: consumer.messages() == raised, timeout=10)
        assert messages(pulled(sid, timeout="PT1S")) == [] and consumer.messages() == raised
        faults = [call("<tev:CreatePullPointSubscription>%s</tev:CreatePullPointSubscription>"
                       % content_filter(expression), EVENTS_WSDL + "/EventPortType/"
                       "CreatePullPointSubscriptionRequest")
                  for expression in ('count(//tt:SimpleItem) > 1', IS_MOTION + " and")]
        faults.append(call("<wsnt:Subscribe><wsnt:ConsumerReference><a:Address>%s</a:Address>"
                           "</wsnt:ConsumerReference>%s</wsnt:Subscribe>"
                           % (consumer.address, content_filter(
                               "boolean(//tt:SimpleItem[@Type='x'])", "wsnt")),
                           WSNT + "/NotificationProducer/SubscribeRequest"))
        for fault in faults:
            assert "<wsnt:InvalidMessageContentExpressionFault>" in fault, fault
        properties = call("<tev:GetEventProperties/>",
                          EVENTS_WSDL + "/EventPortType/GetEventPropertiesRequest")
        assert "<tev:MessageContentFilterDialect>%s<" % ITEM_FILTER in properties
        validate(tmp_path, created, subscribed, *faults)
    finally:
        consumer.close()


def test_subscriptions_belong_to_their_account(tmp_path):
    accounts = (("ann", "ann-pass", "user"), ("bob", "bob-pass", "user"),
                ("root", "root-pass", "administrator"))
    server = Nvtd(tmp_path, accounts)
    try:
        def token(user):
            return security(user, user + "-pass")[len("<s:Header>"):-len("</s:Header>")]
        taken = [create_pull_point("PT2147483647S", header=token("ann")) for _ in range(6)]
        assert [sid for sid, _ in taken[:5]] == [0, 1, 2, 3, 4]
        assert span(taken[0][1]) == 600
        assert taken[5][0] is None and "SubscribeCreationFailedFault" in taken[5][1]
        admin_sid, _ = create_pull_point(header=token("root"))
        bob_sid, _ = create_pull_point(header=token("bob"))
        assert admin_sid == 5 and bob_sid == 6
        assert "UnsubscribeResponse" not in unsubscribe(admin_sid, token("ann"))
        assert "UnsubscribeResponse" not in unsubscribe(0, token("bob"))
        assert INVALID_THING in pulled(0, header=token("bob"))
        assert messages(pulled(0, header=token("ann")))
        assert "UnsubscribeResponse" in unsubscribe(0, token("root"))
        assert "UnsubscribeResponse" in unsubscribe(bob_sid, token("bob"))
    finally:
        server.stop()


def test_pull_refusals_and_the_thread_life(nvtd):
    sid, _ = create_pull_point("PT60S")
    pulled(sid)  # the Initialized messages
    held = []
    try:
        # One at a time: a burst of connections from one address that nvtd has not read yet
        # counts against that address's share of the connection slots.
        for _ in range(10):
            held.append(pull(sid, "PT30S"))
            assert wait_for(lambda: server_has_read(held[-1]))  # it reached its slot
        assert INVALID_THING in pulled(sid)
        assert INVALID_THING in pulled(7)
    finally:
        for s in held:
            s.close()
    assert wait_for(nvtd.delivery_thread, timeout=5)
    unsubscribe(sid)
    assert "consumer thread done\n" in nvtd.log()
    assert wait_for(lambda: not nvtd.delivery_thread(), timeout=2)


def test_onvif_client_library_pull_point_sees_the_changes(nvtd):
    node_dir = onvif_library()
    proc = subprocess.Popen(in_lan(["node", "pull_point.js", CAMERA, str(PORT)]), cwd=node_dir,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        first = json.loads(proc.stdout.readline())
        assert first["address"] == \
            "http://%s:%d/onvif/events_service/SubscriptionManager=0" % (CAMERA, PORT)
        assert first["topic"] == ALARM
        assert first["operation"] == "Initialized"
        assert first["data"] == {"Name": "State", "Value": False}  # the library reads booleans
        assert first["source"] == {"Name": "Source", "Value": "HD"}
        set_state("motion", "true")
        second = json.loads(proc.stdout.readline())
        assert (second["topic"], second["operation"], second["data"]) == \
            (ALARM, "Changed", {"Name": "State", "Value": True})
        assert proc.wait(timeout=60) == 0, proc.stderr.read()
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()


NOBODY = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"]
# Sends each request (a JSON list of texts on standard input) on its own connection, in turn;
# prints the answers as a JSON list.
SENDER = """
import json, socket, sys
out = []
for request in json.load(sys.stdin):
    with socket.create_connection((sys.argv[1], int(sys.argv[2])), timeout=10) as s:
        s.sendall(request.encode())
        s.shutdown(socket.SHUT_WR)
        out.append(b"".join(iter(lambda: s.recv(65536), b"")).decode(errors="replace"))
print(json.dumps(out))
"""


def attack(*bodies, bare=False):
    """Sends (body, action[, header]) requests as the user-level account eve, from an
    unprivileged process on the LAN side; their answers. A bare body goes without the
    envelope, its token behind it."""
    requests = []
    for body, action, *header in bodies:
        token = security("eve", "eve-pass")[len("<s:Header>"):-len("</s:Header>")]
        data = (body + token if bare else envelope(body, token + "".join(header))).encode()
        requests.append("POST /onvif/events_service HTTP/1.1\r\nHost: %s\r\nContent-Length: %d"
                        "\r\nContent-Type: application/soap+xml; action=\"%s\"\r\n\r\n%s"
                        % (CAMERA, len(data), action, data.decode()))
    run = subprocess.run(in_lan(NOBODY + [sys.executable, "-c", SENDER, CAMERA, str(PORT)]),
                         input=json.dumps(requests), capture_output=True, text=True, timeout=120)
    assert run.returncode == 0, run.stderr
    return [answer.partition("\r\n\r\n")[2] for answer in json.loads(run.stdout)]


def subscribe_body(address, expression=None):
    return ("<wsnt:Subscribe><wsnt:ConsumerReference><a:Address>%s</a:Address>"
            "</wsnt:ConsumerReference>%s</wsnt:Subscribe>"
            % (address, filter_element(*expression).replace("tev:", "wsnt:") if expression
               else ""), WSNT + "/NotificationProducer/SubscribeRequest")


SYNC = ("<tev:SetSynchronizationPoint/>",
        EVENTS_WSDL + "/PullPointSubscription/SetSynchronizationPointRequest")


@pytest.fixture
def eve(tmp_path):
    server = Nvtd(tmp_path, (("eve", "eve-pass", "user"),))
    yield server
    server.stop()


def test_push_consumers_the_camera_must_not_reach_are_refused(eve, tmp_path):
    # Something of the camera's own listens on loopback: it must never hear from nvtd.
    with socket.socket() as own:
        own.bind(("127.0.0.1", 0))
        own.listen(8)
        port = own.getsockname()[1]
        refused = [
            "http://127.0.0.1:%d/x HTTP/1.1\r\nX-Injected: yes\r\nX-More: 1" % port,
            "http://10.99.0.1:%d/x HTTP/1.1\r\nX-Injected: yes" % port,
            "http://localhost:%d/x" % port, "http://0.0.0.0:%d/x" % port,
            "http://224.0.0.1:%d/x" % port, "http://%s:%d/onvif/device_service" % (CAMERA, PORT)]
        answers = attack(*[subscribe_body(address) for address in refused],
                         SYNC + (sid_header(0),))
        assert "SetSynchronizationPointResponse" not in answers[-1]
        for address, answer in zip(refused, answers):
            assert "<wsnt:SubscribeCreationFailedFault>" in answer, (address, answer)
            assert "SOAP-ENV:Sender" in answer and "SubscribeResponse" not in answer, address
        own.settimeout(2)
        with pytest.raises(socket.timeout):
            own.accept()
    assert "consumer address refused" in eve.log()
    validate(tmp_path, answers[0])


def test_a_push_subscription_keeps_its_pace_under_synchronization_points(eve):
    consumer = Consumer()
    try:
        answer = attack(subscribe_body(consumer.address, (ALARM,)))[0]
        assert "SubscribeResponse" in answer, answer
        sid = int(answer.split("SubscriptionId")[1].split(">")[1].split("<")[0])
        answers = attack(*[SYNC + (sid_header(sid),)] * 40)
        assert all("SetSynchronizationPointResponse" in a for a in answers)
        # 41 Initialized messages in all: none lost, but never more than the pace allows.
        assert wait_for(lambda: len(consumer.posts) >= 41, timeout=20), len(consumer.posts)
        times = [t for t, _, _ in consumer.posts]
        most = max(sum(1 for t in times if start <= t < start + 1.0) for start in times)
        assert most <= 10 + 10 + 1, most  # the burst, one second's rate, and the edge
    finally:
        consumer.close()


def test_a_topic_expression_without_an_opening_bracket_is_read_not_fatal(eve):
    # The element reader takes a name without "<" ahead of it; the filter's tag once went
    # from "no '<' found" into an uncaught exception that ended nvtd.
    body = ('wsnt:TopicExpression Dialect="http://www.onvif.org/ver10/tev/topicExpression/'
            'ConcreteSet">tns1:VideoSource/MotionAlarm</wsnt:TopicExpression>')
    answer = attack((body, EVENTS_WSDL + "/EventPortType/CreatePullPointSubscriptionRequest"),
                    bare=True)[0]
    assert "CreatePullPointSubscriptionResponse" in answer, answer
    assert eve.proc.poll() is None

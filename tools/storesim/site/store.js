// Store page logic. The page talks to the desktop client through the window
// object "qtBridge"; the client calls notifyStatusHandler, progressBarUpdateHandler
// and errorOnDownload while it updates the card.
(function () {
  "use strict";

  var bridge = window.qtBridge;
  var demoMode = window.demoAutostart === true || /[?&]demo=auto\b/.test(window.location.search);
  var paid = /[?&]paid=1\b/.test(window.location.search);
  var catalogue = [];
  var busy = false;
  // The sonar programme: who is signed in, whether they take part, and what
  // the current run has shown of the sonar step.
  var sonar = { userId: "", joined: false, uploadSeen: false, reported: false };

  function $(id) { return document.getElementById(id); }

  function formatBytes(bytes) {
    if (!(bytes > 0)) return "0 B";
    var units = ["B", "KB", "MB", "GB", "TB"];
    var i = 0;
    while (bytes >= 1024 && i < units.length - 1) { bytes /= 1024; i++; }
    return (i === 0 ? bytes : bytes.toFixed(1)) + " " + units[i];
  }

  function request(method, url, body, done, wait) {
    var xhr = new XMLHttpRequest();
    xhr.open(method, url, !wait);
    xhr.onreadystatechange = function () {
      if (xhr.readyState === 4 && done) done(xhr.status, xhr.responseText);
    };
    xhr.send(body || null);
  }

  // In demo mode every phase is also told to the store, which prints it;
  // one at a time, so that they arrive in order.
  function report(kind, detail) {
    if (!demoMode) return;
    request("POST", "/_demo/event", JSON.stringify({ kind: kind, detail: String(detail) }), null, true);
  }

  function setStatus(text, cls) {
    var status = $("status");
    status.textContent = text;
    status.className = cls || "";
  }

  var phaseTexts = {
    init: "Preparing the card update…",
    download: "Downloading the charts…",
    install: "Installing the charts on the card…",
    ugc: "Installing the community layer…",
    completed: "The card is up to date.",
    nospace: "There is not enough space on the card for this chart set.",
    nowritable: "The card cannot be written. Check its write-protect switch.",
    searchingtrack: "Looking for sonar logs on the card…",
    trackconversion: "Converting sonar logs…",
    uploadtrack: "Sending sonar logs…"
  };

  // An item's own classes (the sonar steps are hidden unless the user takes
  // part) with its state in this run.
  function setPhaseState(item, state) {
    var sonarStep = item.getAttribute("data-phase").indexOf("track") >= 0;
    var base = sonarStep ? "sonar-step" + (sonar.joined ? "" : " hidden") : "";
    item.className = (base + " " + state).replace(/^ +| +$/g, "");
  }

  function markPhase(status) {
    var items = $("phases").getElementsByTagName("li");
    var reached = false;
    for (var i = items.length - 1; i >= 0; i--) {
      var phase = items[i].getAttribute("data-phase");
      if (phase === status) { setPhaseState(items[i], status === "completed" ? "passed" : "active"); reached = true; }
      else if (reached) { setPhaseState(items[i], "passed"); }
    }
  }

  function readCookie(name) {
    var match = new RegExp("(?:^|; )" + name + "=([^;]*)").exec(document.cookie);
    return match ? decodeURIComponent(match[1]) : "";
  }

  function writeCookie(name, value) {
    document.cookie = name + "=" + encodeURIComponent(value) + "; path=/";
  }

  // The bridge forgets the programme on stateReset(), so the page tells it
  // again after every reset and at every load.
  function applySonar() {
    if (!bridge) return;
    bridge.setCurrentUserId(sonar.userId);
    bridge.setUGDBetaUser(sonar.joined);
  }

  function renderSonar() {
    $("sign-in-form").className = sonar.userId ? "hidden" : "";
    $("signed-in").className = sonar.userId ? "note" : "note hidden";
    $("signed-in-user").textContent = sonar.userId;
    $("sonar-join").disabled = !sonar.userId;
    $("sonar-join").checked = sonar.joined;
    var items = $("phases").getElementsByTagName("li");
    for (var i = 0; i < items.length; i++) {
      if (items[i].getAttribute("data-phase").indexOf("track") >= 0)
      {
        var state = /\b(active|passed)\b/.exec(items[i].className);
        setPhaseState(items[i], state ? state[1] : "");
      }
    }
  }

  function signIn(userId) {
    sonar.userId = userId;
    if (!userId) sonar.joined = false;
    writeCookie("sonarUser", sonar.userId);
    writeCookie("sonarJoined", sonar.joined ? "1" : "");
    applySonar();
    renderSonar();
    report("sonar", userId ? "signed in as " + userId : "signed out");
  }

  function joinSonar(joined) {
    sonar.joined = joined && sonar.userId !== "";
    writeCookie("sonarJoined", sonar.joined ? "1" : "");
    applySonar();
    renderSonar();
    report("sonar", sonar.joined ? "joined the programme" : "left the programme");
  }

  // The client stores the three counts in the bridge when the sonar step
  // ends, before the charts are downloaded.
  function showSonarReport() {
    if (!bridge || !sonar.uploadSeen || sonar.reported) return;
    sonar.reported = true;
    var uploaded = bridge.getSonarTracksNumber();
    var already = bridge.getAlreadyUploadedSonarTracksNumber();
    var corrupted = bridge.getCorruptedSonarTracksNumber();
    $("sonar-report").textContent = "Sonar logs: " + uploaded + " sent, " + already + " sent before, " +
      corrupted + " could not be read.";
    $("sonar-report").className = "note";
    report("sonar", "uploaded=" + uploaded + " alreadyUploaded=" + already + " corrupted=" + corrupted);
  }

  window.notifyStatusHandler = function (status) {
    report("status", status);
    markPhase(status);
    var text = phaseTexts[status] || status;
    if (status === "uploadtrack") sonar.uploadSeen = true;
    else if (status === "download" || status === "completed") showSonarReport();
    if (status === "completed") { busy = false; setStatus(text, "done"); readCard(); }
    else if (status === "nospace" || status === "nowritable") { busy = false; setStatus(text, "error"); }
    else setStatus(text);
    updateButtons();
  };

  window.progressBarUpdateHandler = function (percent) {
    var value = Math.max(0, Math.min(100, Number(percent) || 0));
    $("progress-bar").style.width = value + "%";
    report("progress", value);
  };

  window.errorOnDownload = function (code, text) {
    busy = false;
    showSonarReport();
    report("error", code + " " + text);
    setStatus("The card update failed (" + code + "): " + text, "error");
    updateButtons();
  };

  function readCard() {
    if (!bridge) {
      $("card-tag").textContent = "open this store in Velamaris Tidemart";
      return;
    }
    bridge.setDevice("card");
    var serial = bridge.getSerial();
    if (!serial) {
      $("card-tag").textContent = "no card found";
      ["card-free", "card-room", "card-cluster", "card-writable", "card-kind"].forEach(function (id) { $(id).textContent = "–"; });
      $("pc-panel").className = "panel";
      report("card", "none");
      updateButtons();
      return;
    }
    $("pc-panel").className = "panel hidden";
    var free = bridge.getCardAvailableSpace();
    var room = bridge.getFreeSpaceAndVelData();
    var writable = bridge.isCardWriteable();
    var old = bridge.isOldChip();
    $("card-tag").textContent = serial;
    // The VelIn control's text where the plug-in runs; a plain property of the element elsewhere.
    $("berth-kit").text = "Berth kit of card " + serial;
    $("card-free").textContent = formatBytes(free);
    $("card-room").textContent = formatBytes(room);
    $("card-cluster").textContent = formatBytes(bridge.getClusterSize());
    $("card-writable").innerHTML = writable ? '<span class="badge ok">yes</span>' : '<span class="badge bad">write-protected</span>';
    $("card-kind").innerHTML = old ? '<span class="badge warn">old format</span>' : '<span class="badge ok">current</span>';
    report("card", serial + " free=" + free + " writable=" + writable + " old=" + old);
    updateButtons();
  }

  function updateButtons() {
    var buttons = $("catalogue").getElementsByTagName("button");
    var cardPresent = bridge && bridge.getDevice() === "card" && $("card-tag").textContent !== "no card found";
    for (var i = 0; i < buttons.length; i++) buttons[i].disabled = busy || !cardPresent;
  }

  function startUpdate(manifestText, set) {
    if (!bridge || busy) return;
    busy = true;
    $("progress-bar").style.width = "0";
    var items = $("phases").getElementsByTagName("li");
    for (var i = 0; i < items.length; i++) setPhaseState(items[i], "");
    sonar.uploadSeen = false;
    sonar.reported = false;
    $("sonar-report").className = "note hidden";
    setStatus("Starting the update of " + set.name + "…");
    report("start", set.id);
    if ($("replace-edition").checked) bridge.setDeletePewter();
    // The sonar switch: the client also needs the bridge's beta flag and
    // user id, set by applySonar().
    bridge["enqueueFiles(QString,bool,bool,bool)"](manifestText, true, true, sonar.joined);
    updateButtons();
  }

  function installByUrl(set) {
    request("GET", set.manifest, null, function (status, text) {
      if (status !== 200) { setStatus("The chart list could not be loaded (" + status + ").", "error"); return; }
      startUpdate(text, set);
    });
  }

  function renderCatalogue() {
    var box = $("catalogue");
    box.innerHTML = "";
    catalogue.forEach(function (set) {
      var div = document.createElement("div");
      div.className = "chartset";
      div.innerHTML = "<h3></h3><div class='region'></div><div class='meta'></div>" +
        "<div class='actions'><button>Install</button><button class='secondary'>Install (inline list)</button></div>";
      div.getElementsByTagName("h3")[0].textContent = set.name;
      div.getElementsByClassName("region")[0].textContent = set.region;
      div.getElementsByClassName("meta")[0].textContent = set.files + " files · " + formatBytes(set.size);
      var buttons = div.getElementsByTagName("button");
      buttons[0].onclick = function () { installByUrl(set); };
      buttons[1].onclick = function () { startUpdate(set.inline, set); };
      box.appendChild(div);
    });
    updateButtons();
  }

  function loadCatalogue(done) {
    request("GET", "/catalogue.json", null, function (status, text) {
      if (status === 200) { catalogue = JSON.parse(text); renderCatalogue(); }
      else $("catalogue").innerHTML = "<p class='note'>The catalogue is not available.</p>";
      if (done) done();
    });
  }

  function setUpInstaller() {
    $("get-installer").onclick = function () {
      if (!bridge) return;
      request("GET", "/installer.json", null, function (status, text) {
        if (status !== 200) return;
        var installer = JSON.parse(text);
        bridge.setDevice("pc");
        bridge["enqueueFiles(int,QStringList)"](1, [installer.name, String(installer.size), installer.url]);
      });
    };
    if (bridge) {
      bridge.notifyStatus.connect(function (status) {
        setStatus(status === "completed" ? "The installer is on your desktop." : "Downloading the installer…",
                  status === "completed" ? "done" : "");
      });
      bridge.progressBarUpdate.connect(function (percent) { window.progressBarUpdateHandler(percent); });
      bridge.errorOnDownload.connect(function (code, message) { window.errorOnDownload(code, message); });
    }
  }

  function setUpPayment() {
    var form = $("pay-form");
    // The provider's return form is intercepted by the client, which then shows the return URL.
    form.action = "https://www." + (window.paymentProviderDomain || "paypal.example") +
      "/cgi-bin/merchantpaymentweb?cmd=_return";
    form.onsubmit = function () {
      if (bridge) bridge.setReturnUrl(window.location.protocol + "//" + window.location.host + "/home?paid=1");
      return true;
    };
    if (paid) $("pay-result").textContent = "Thank you: your subscription is active.";
  }

  $("refresh-card").onclick = function () { if (bridge) bridge.stateReset(); applySonar(); readCard(); };
  $("sign-in-form").onsubmit = function () {
    var userId = $("user-id").value.replace(/^\s+|\s+$/g, "");
    if (userId) signIn(userId);
    return false;
  };
  $("sign-out").onclick = function () { signIn(""); return false; };
  $("sonar-join").onchange = function () { joinSonar($("sonar-join").checked); };
  $("help-link").onclick = function () { if (bridge) bridge.doUrlBrowser("/help"); return false; };
  if (bridge) {
    // The client answers "{applicationVersion: 1.5.1applicationName: ...}".
    var about = bridge.getApplicationNameAndVersion();
    var version = /applicationVersion:\s*([0-9.]*[0-9])/.exec(about);
    $("footer").textContent = "Velamaris Chart Store · Tidemart " + (version ? version[1] : about);
  }

  setUpInstaller();
  setUpPayment();
  sonar.userId = readCookie("sonarUser");
  sonar.joined = sonar.userId !== "" && readCookie("sonarJoined") === "1";
  if (demoMode && window.demoUserId) {
    signIn(window.demoUserId);
    joinSonar(true);
  } else {
    applySonar();
    renderSonar();
  }
  readCard();
  loadCatalogue(function () {
    if (demoMode && catalogue.length > 0) {
      if (!bridge) { report("error", "no qtBridge on the page"); return; }
      installByUrl(catalogue[0]);
    }
  });
})();

// Phone page script: polls the PC's state and shows its text and file.
// Every URL is relative to the private link, so the page works under any
// address, port and token.
(function () {
  'use strict';

  var TEXTS = {
    fr: {
      languageLabel: 'Langue',
      heading: 'Depuis votre PC.',
      intro: 'Votre texte et vos fichiers, à portée de main.',
      textTag: '01 / TEXTE',
      textHeading: 'À lire et à copier',
      noText: 'Envoyez un texte depuis Windows.',
      copy: 'Copier le texte',
      saveText: 'Enregistrer .txt',
      fileTag: '02 / FICHIER',
      fileHeading: 'Prêt à télécharger',
      noFile: 'Choisissez un fichier dans Windows.',
      download: 'Télécharger',
      keepHint: 'Si votre navigateur indique que le fichier ne peut pas être téléchargé de manière sécurisée, ' +
        'choisissez Conserver : il vient directement de votre PC par le réseau local.',
      sharedText: 'Texte partagé',
      footer: 'Gardez Tolvenaire ouverte sur le PC. HTTP n’est pas chiffré : utilisez un réseau de confiance. ' +
        'Toute personne ayant le lien et pouvant joindre le PC peut lire le contenu partagé.',
      connecting: 'Connexion au PC…',
      online: 'Connecté au PC · mise à jour automatique',
      offline: 'PC indisponible. Vérifiez le réseau et le partage Windows.',
      copied: 'Texte copié.',
      manual: 'Appuyez longuement sur le texte puis choisissez Copier.'
    },
    en: {
      languageLabel: 'Language',
      heading: 'From your PC.',
      intro: 'Your text and files, right at hand.',
      textTag: '01 / TEXT',
      textHeading: 'Read and copy',
      noText: 'Send some text from Windows.',
      copy: 'Copy text',
      saveText: 'Save .txt',
      fileTag: '02 / FILE',
      fileHeading: 'Ready to download',
      noFile: 'Choose a file in Windows.',
      download: 'Download',
      keepHint: 'If your browser says the file can’t be downloaded securely, choose Keep: ' +
        'it comes straight from your PC over the local network.',
      sharedText: 'Shared text',
      footer: 'Keep Tolvenaire open on your PC. HTTP is not encrypted: use a trusted network. ' +
        'Anyone with the link who can reach the PC can read the shared content.',
      connecting: 'Connecting to your PC…',
      online: 'Connected to your PC · automatic updates',
      offline: 'PC unavailable. Check the network and Windows sharing.',
      copied: 'Text copied.',
      manual: 'Touch and hold the text, then choose Copy.'
    }
  };

  var LABELS = ['languageLabel', 'heading', 'intro', 'textTag', 'textHeading', 'noText', 'copy',
    'saveText', 'fileTag', 'fileHeading', 'noFile', 'download', 'keepHint', 'footer'];
  var POLL_MS = 2000;
  var TIMEOUT_MS = 7000;
  var FILE_ID = /^[0-9a-f]{32}$/;
  // Chrome holds a download from a plain-HTTP page until the user chooses Keep, except
  // for the types it counts as likely safe: kSafeExtensions of Chromium's
  // chrome/browser/download/insecure_download_blocking.cc (here as in Chromium 156),
  // matched against the last extension of the saved name, ignoring case. Chrome's
  // "Always use secure connections" holds these too.
  var LIKELY_SAFE = ['txt', 'css', 'json', 'csv', 'tsv', 'jpg', 'jpeg', 'png', 'gif', 'tif', 'tiff', 'ico', 'webp',
    'avif', 'aac', 'midi', 'ogg', 'wav', 'webm', 'mp3', 'mp4', 'm4a', 'flac', 'mpeg', 'mov', 'wmv'];

  var language = 'fr';
  var manualLanguage = false;
  var connection = 'connecting';
  var feedbackKey = null;
  var currentSize = null;
  var shownRevision = -1;
  var inFlight = false;
  var lastEtag = '';

  function byId(id) {
    return document.getElementById(id);
  }

  // Writing an unchanged text would make screen readers announce the live
  // regions again on every poll.
  function show(element, value) {
    if (element.textContent !== value) element.textContent = value;
  }

  function heldByBrowser(name) {
    var dot = name.lastIndexOf('.');
    var extension = dot < 0 ? '' : name.slice(dot + 1).toLowerCase();
    return LIKELY_SAFE.indexOf(extension) < 0;
  }

  function formatSize(bytes, code) {
    var units = code === 'en' ? ['B', 'KiB', 'MiB', 'GiB', 'TiB'] : ['o', 'Ko', 'Mo', 'Go', 'To'];
    var value = bytes;
    var unit = 0;
    while (value >= 1024 && unit < 4) {
      value /= 1024;
      unit += 1;
    }
    var number = value.toLocaleString(code === 'en' ? 'en-GB' : 'fr-FR', { maximumFractionDigits: 1 });
    return number + ' ' + units[unit];
  }

  function setLanguage(code) {
    language = code === 'en' ? 'en' : 'fr';
    var texts = TEXTS[language];
    document.documentElement.lang = language;
    byId('language').value = language;
    for (var i = 0; i < LABELS.length; i += 1) show(byId(LABELS[i]), texts[LABELS[i]]);
    byId('text').setAttribute('aria-label', texts.sharedText);
    byId('saveText').setAttribute('download', language === 'en' ? 'text.txt' : 'texte.txt');
    show(byId('size'), currentSize === null ? '' : formatSize(currentSize, language));
    show(byId('feedback'), feedbackKey === null ? '' : texts[feedbackKey]);
    show(byId('status'), texts[connection]);
  }

  function setConnection(next) {
    connection = next;
    show(byId('status'), TEXTS[language][connection]);
    byId('dot').classList.toggle('live', connection === 'online');
  }

  function setFeedback(key) {
    feedbackKey = key;
    show(byId('feedback'), key === null ? '' : TEXTS[language][key]);
  }

  // The hint also describes the download link while it is shown.
  function showKeepHint(shown) {
    byId('keepHint').hidden = !shown;
    if (shown) byId('download').setAttribute('aria-describedby', 'keepHint');
    else byId('download').removeAttribute('aria-describedby');
  }

  function isValidState(state) {
    if (state === null || typeof state !== 'object' || Array.isArray(state)) return false;
    if (!Number.isSafeInteger(state.revision)) return false;
    if (typeof state.text !== 'string') return false;
    if (Object.prototype.hasOwnProperty.call(state, 'language') &&
        state.language !== 'fr' && state.language !== 'en') return false;
    var file = state.file;
    if (file === null) return true;
    if (typeof file !== 'object' || Array.isArray(file)) return false;
    if (typeof file.name !== 'string') return false;
    if (typeof file.id !== 'string' || !FILE_ID.test(file.id)) return false;
    return typeof file.size === 'number' && isFinite(file.size) && file.size >= 0;
  }

  function showState(state) {
    shownRevision = state.revision;
    byId('text').value = state.text;
    var hasText = state.text.length > 0;
    byId('noText').hidden = hasText;
    byId('textContent').hidden = !hasText;
    var file = state.file;
    byId('noFile').hidden = file !== null;
    byId('fileContent').hidden = file === null;
    if (file !== null) {
      currentSize = file.size;
      show(byId('name'), file.name);
      show(byId('size'), formatSize(file.size, language));
      var link = byId('download');
      link.setAttribute('href', 'file/' + file.id);
      link.setAttribute('download', file.name);
      showKeepHint(heldByBrowser(file.name));
    } else {
      currentSize = null;
      show(byId('name'), '');
      show(byId('size'), '');
      byId('download').removeAttribute('href');
      showKeepHint(false);
    }
    setFeedback(null);
  }

  function refresh() {
    if (inFlight || document.hidden) return;
    inFlight = true;
    var headers = {};
    if (lastEtag) headers['If-None-Match'] = lastEtag;
    var options = { cache: 'no-store', headers: headers, credentials: 'same-origin' };
    var timer = 0;
    if (typeof AbortController === 'function') {
      var controller = new AbortController();
      options.signal = controller.signal;
      timer = setTimeout(function () { controller.abort(); }, TIMEOUT_MS);
    }
    fetch('state', options)
      .then(function (response) {
        if (response.status === 304) return null;
        if (!response.ok) throw new Error('status ' + response.status);
        return response.json().then(function (state) {
          if (!isValidState(state)) throw new Error('invalid state');
          if (!manualLanguage && typeof state.language === 'string') setLanguage(state.language);
          if (state.revision !== shownRevision) showState(state);
          lastEtag = response.headers.get('ETag') || '';
        });
      })
      .then(function () {
        setConnection('online');
      }, function () {
        setConnection('offline');
      })
      .then(function () {
        if (timer) clearTimeout(timer);
        inFlight = false;
      });
  }

  function copied() {
    setFeedback('copied');
  }

  function copyFailed() {
    var area = byId('text');
    area.focus();
    area.select();
    setFeedback('manual');
  }

  function copyText() {
    var area = byId('text');
    if (navigator.clipboard && typeof navigator.clipboard.writeText === 'function' && window.isSecureContext) {
      navigator.clipboard.writeText(area.value).then(copied, copyFailed);
      return;
    }
    var done = false;
    try {
      area.focus();
      area.select();
      area.setSelectionRange(0, area.value.length);
      done = document.execCommand('copy');
    } catch (error) {
      done = false;
    }
    if (done) copied();
    else copyFailed();
  }

  byId('language').addEventListener('change', function (event) {
    manualLanguage = true;
    setLanguage(event.target.value);
  });
  byId('copy').addEventListener('click', copyText);
  document.addEventListener('visibilitychange', function () {
    if (!document.hidden) refresh();
  });

  setLanguage('fr');
  refresh();
  setInterval(refresh, POLL_MS);
}());

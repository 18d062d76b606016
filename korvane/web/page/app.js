// Korvane's page: the map, the actions, the incidents, the new devices, the
// energy report and the tokens, from the JSON API. Every French text comes
// from GET /api/textes; this script holds none of its own.
'use strict';

const etat = { textes: {}, csrf: '', role: '', minuteur: 0 };
const $ = (id) => document.getElementById(id);
const t = (cle) => etat.textes[cle] || cle;

function element(nom, texte, classe) {
  const e = document.createElement(nom);
  if (texte !== undefined) e.textContent = texte;
  if (classe) e.className = classe;
  return e;
}

async function api(methode, chemin, corps) {
  const options = { method: methode, headers: {}, credentials: 'same-origin' };
  if (methode !== 'GET') options.headers['X-CSRF-Token'] = etat.csrf;
  if (corps !== undefined) {
    options.headers['Content-Type'] = 'application/json';
    options.body = JSON.stringify(corps);
  }
  const reponse = await fetch(chemin, options);
  const json = await reponse.json().catch(() => ({}));
  if (reponse.status === 401 && chemin !== '/api/session') montrerConnexion();
  if (!reponse.ok) throw new Error(json.erreur || String(reponse.status));
  return json;
}

function heureLocale(texte) {
  return texte ? new Date(texte).toLocaleString('fr-FR') : '';
}

function remplirTextes() {
  document.querySelectorAll('[data-texte]').forEach((e) => { e.textContent = t(e.dataset.texte); });
  document.title = t('titre');
}

function montrerConnexion() {
  clearInterval(etat.minuteur);
  $('vue').hidden = true;
  $('deconnexion').hidden = true;
  $('connexion').hidden = false;
}

function montrerVue(session) {
  etat.csrf = session.csrf || '';
  etat.role = session.role;
  $('connexion').hidden = true;
  $('vue').hidden = false;
  $('deconnexion').hidden = false;
  document.querySelectorAll('.admin').forEach((e) => { e.hidden = session.role !== 'admin'; });
  rafraichir();
  clearInterval(etat.minuteur);
  etat.minuteur = setInterval(rafraichir, 10000);
}

function dire(texte, erreur) {
  $('message').textContent = texte;
  $('message').className = erreur ? 'message erreur' : 'message';
}

async function agir(entree, action) {
  const question = { off: 'confirmer_off', redemarrer: 'confirmer_redemarrer' }[action];
  if (question && !window.confirm(t(question).replace('%s', entree.nom))) return;
  try {
    const suivi = await api('POST', '/api/entrees/' + encodeURIComponent(entree.nom) + '/' + action);
    dire(t('commande_envoyee') + ' ' + t(action) + ' : ' + entree.nom);
    suivre(suivi.id, entree.nom, 0);
  } catch (e) {
    dire(e.message, true);
  }
}

// The action's progress, asked again for a little while, then its
// follow-up's verdict (some five minutes later), asked less often; the page
// never waits on it.
async function suivre(id, nom, essais) {
  if (essais > 70) return;
  const encore = () => setTimeout(() => suivre(id, nom, essais + 1), essais < 15 ? 2000 : 10000);
  try {
    const suivi = await api('GET', '/api/actions/' + id);
    if (suivi.etat === 'refusee' || suivi.etat === 'echec') return dire(suivi.message, true);
    if (suivi.etat !== 'faite') return encore();
    // Several actions may be followed at once: each says whose it is.
    const message = nom + ' — ' + (suivi.message || t('commande_envoyee'));
    if (suivi.suivi) return dire(message + ' ' + t('verdict') + ' : ' + suivi.suivi);
    dire(message);
    if (suivi.action !== 'tester') encore();
  } catch (e) {
    dire(e.message, true);
  }
}

function carteEntree(entree) {
  const li = element('li', undefined, entree.allumee ? 'on' : 'off');
  if (entree.adresse_prise) li.classList.add('prise');
  li.append(element('div', entree.nom, 'nom'));
  li.append(element('div', (entree.allumee ? t('allume') : t('eteint')) + ' — ' + entree.adresse + ' — ' + entree.mac, 'detail'));
  if (entree.commentaire) li.append(element('div', entree.commentaire, 'detail'));
  if (entree.protegee) li.append(element('div', t('protege'), 'detail'));
  if (entree.adresse_prise) li.append(element('div', t('adresse_prise'), 'alerte'));
  const prochaine = entree.prochaine_action;
  if (prochaine) {
    const quoi = prochaine.action === 'allumage' ? t('allumage') : t('arret');
    li.append(element('div', t('prochaine_action') + ' : ' + quoi + ' ' + heureLocale(prochaine.heure), 'detail'));
  }
  const boutons = element('div', undefined, 'boutons');
  const actions = etat.role === 'admin' ? ['on', 'off', 'redemarrer', 'tester'] : ['on'];
  for (const action of actions) {
    const bouton = element('button', t(action));
    bouton.type = 'button';
    bouton.disabled = action === 'off' && entree.protegee;
    bouton.addEventListener('click', () => agir(entree, action));
    boutons.append(bouton);
  }
  li.append(boutons);
  return li;
}

function tableau(table, entetes, lignes, vide) {
  table.replaceChildren();
  if (!lignes.length) {
    const tr = element('tr');
    tr.append(element('td', vide));
    table.append(tr);
    return;
  }
  const tete = element('tr');
  entetes.forEach((e) => tete.append(element('th', e)));
  table.append(tete);
  for (const ligne of lignes) {
    const tr = element('tr');
    ligne.forEach((cellule) => tr.append(typeof cellule === 'object' ? cellule : element('td', cellule)));
    table.append(tr);
  }
}

async function rafraichir() {
  try {
    const vue = await api('GET', '/api/etat');
    $('releve').textContent = vue.releve ? t('dernier_releve') + heureLocale(vue.releve) : '';
    if (vue.scan && vue.scan.en_cours) $('releve').textContent += ' — ' + t('scan');
    if (vue.passerelle) {
      const { nom, adresse } = vue.passerelle;
      $('passerelle').textContent = t('passerelle') + ' : ' + (nom ? nom + ' (' + adresse + ')' : adresse);
      $('passerelle').className = 'passerelle ' + (vue.passerelle.allumee ? 'on' : 'off');
    }
    $('carte').replaceChildren(...vue.entrees.map(carteEntree));
    if (etat.role === 'admin') await rafraichirAdmin();
  } catch (e) {
    $('releve').textContent = t('injoignable');
  }
}

async function rafraichirAdmin() {
  const [incidents, appareils, jetons] = await Promise.all([
    api('GET', '/api/incidents'), api('GET', '/api/appareils'), api('GET', '/api/jetons')]);
  tableau($('incidents'), [t('heure'), t('ordinateur'), t('verdict'), t('raison')],
    incidents.incidents.slice().reverse().map((i) => [heureLocale(i.heure), i.hote, i.verdict, i.raison]),
    t('aucun_incident'));
  const nouveaux = appareils.appareils.filter((a) => a.marque);
  tableau($('appareils'), [t('nom'), t('adresse'), t('mac'), t('vu')],
    nouveaux.map((a) => [a.nom, a.adresse, a.mac, a.marque]), t('aucun_appareil'));
  tableau($('jetons'), [t('nom'), t('role'), t('entrees'), t('dernier_usage'), ''],
    jetons.jetons.map((j) => [j.nom, j.role === 'admin' ? 'admin' : t('reveil_seulement'),
      j.entrees.join(', '), j.dernier_usage ? heureLocale(j.dernier_usage) : t('jamais'), boutonRevoquer(j)]),
    '—');
  await rafraichirEnergie();
}

function boutonRevoquer(jeton) {
  const td = element('td');
  const bouton = element('button', t('revoquer'));
  bouton.type = 'button';
  bouton.addEventListener('click', async () => {
    try { await api('DELETE', '/api/jetons/' + encodeURIComponent(jeton.id)); rafraichir(); } catch (e) { dire(e.message, true); }
  });
  td.append(bouton);
  return td;
}

async function rafraichirEnergie() {
  const jours = $('periode').value || '7';
  $('csv').href = '/api/energie?jours=' + jours + '&format=csv';
  const rapport = await api('GET', '/api/energie?jours=' + jours);
  const nombre = (n) => element('td', n.toLocaleString('fr-FR', { maximumFractionDigits: 1 }), 'nombre');
  tableau($('energie'), [t('ordinateur'), t('puissance'), t('heures'), t('kwh')],
    rapport.lignes.map((l) => [l.nom, nombre(l.puissance_w), nombre(l.total_heures), nombre(l.kwh)]), '—');
  $('energie-totale').textContent = t('energie_totale') + rapport.total_kwh.toLocaleString('fr-FR', { maximumFractionDigits: 1 }) + ' kWh';
}

async function connecter(evenement) {
  evenement.preventDefault();
  const secret = $('secret').value;
  const corps = secret.startsWith('krv_') ? { jeton: secret } : { mot_de_passe: secret };
  try {
    const session = await api('POST', '/api/session', corps);
    $('secret').value = '';
    $('erreur-connexion').textContent = '';
    montrerVue(session);
  } catch (e) {
    $('erreur-connexion').textContent = e.message;
  }
}

async function creerJeton(evenement) {
  evenement.preventDefault();
  const entrees = $('jeton-entrees').value.split(',').map((e) => e.trim()).filter((e) => e);
  try {
    const jeton = await api('POST', '/api/jetons', { nom: $('jeton-nom').value, role: $('jeton-role').value, entrees: entrees });
    $('jeton-cree').textContent = t('jeton_affiche_une_fois') + ' ' + jeton.jeton;
    rafraichir();
  } catch (e) {
    dire(e.message, true);
  }
}

async function demarrer() {
  try { etat.textes = await (await fetch('/api/textes')).json(); } catch (e) { etat.textes = {}; }
  remplirTextes();
  for (const jours of [7, 30, 90]) $('periode').append(new Option(jours + t('jours'), String(jours)));
  $('jeton-role').append(new Option(t('reveil_seulement'), 'reveil'), new Option('admin', 'admin'));
  $('periode').addEventListener('change', () => rafraichirEnergie().catch((e) => dire(e.message, true)));
  $('connexion').addEventListener('submit', connecter);
  $('nouveau-jeton').addEventListener('submit', creerJeton);
  $('deconnexion').addEventListener('click', async () => {
    try { await api('DELETE', '/api/session'); } catch (e) { /* already closed */ }
    montrerConnexion();
  });
  try { montrerVue(await api('GET', '/api/session')); } catch (e) { montrerConnexion(); }
}

document.addEventListener('DOMContentLoaded', demarrer);
